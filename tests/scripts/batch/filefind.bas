' FILEFIND returns the directory part and the name of each match, then "".
string p,f
p="*.bas"
f=FileFind(p)
DspMes("first: ", f, " pattern now: [", p, "]")
f=FileFind(p)
DspMes("second: [", f, "]")
f=FileFind(p)
DspMes("third: [", f, "]")
p="./filefind.b?s"
f=FileFind(p)
DspMes("with directory: ", f)
p="nothing*"
f=FileFind(p)
DspMes("no match: [", f, "]")
