' A digit ends a name, so x1 could never be read back.
float x
float x1
