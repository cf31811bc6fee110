' A file that is not there stops the run with the name as the script wrote it.
DevCon img
img=LoadImage("missing.bmp")
DspMes("not reached")
