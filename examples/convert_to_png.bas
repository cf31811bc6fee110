' Convert to PNG: loads each input and saves it under its output name;
' the name's extension chooses the format, so NAME.png gets a PNG.
' Arguments come in pairs, an input and its output:
'   tarvil --batch convert_to_png.bas a.bmp a.png b.bmp b.png
' A whole folder, with the shell making the pairs:
'   set --; for f in photos/*.bmp; do set -- "$@" "$f" "${f%.*}.png"; done
'   tarvil --batch convert_to_png.bas "$@"
' Input: 1, 4, 8 or 24 bit. Output: the same depth, pixels and palette.

string   inpFile,outFile
DevCon   img
float    i,count

if(((ClNum-1)%2<>0)|(ClNum<3))
   DspMes("Give the names in pairs: INPUT OUTPUT [INPUT OUTPUT ...]")
   Return
endif

count=(ClNum-1)/2
For i=1 to ClNum-2 step 2
   inpFile=ClArg[i]
   outFile=ClArg[i+1]
   if(DspWhile("Converting to PNG",100/count*(i-1)/2))
      Return
   endif
   img=LoadImage(inpFile)
   SaveImage(img,outFile)
Next i
DspWhile("",0)
DspMes("Converted ",count," images")
