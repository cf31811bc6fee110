' Every PNG the folder conversion wrote beside its BMP loads again with the
' BMP's size, depth, colour table and pixel values.
string   inName[4],outName[4]
DevCon   a,b
RGB      p,q
float    k,i,x,y,diff,va,vb
inName[0]="folder/bw1.bmp"
inName[1]="folder/pal4.bmp"
inName[2]="folder/pal8.bmp"
inName[3]="folder/grad24.bmp"
outName[0]="folder/bw1.bmp.png"
outName[1]="folder/pal4.bmp.png"
outName[2]="folder/pal8.bmp.png"
outName[3]="folder/grad24.bmp.png"
For k=0 to 3
   a=LoadImage(inName[k])
   b=LoadImage(outName[k])
   diff=(a.Width<>b.Width)+(a.Height<>b.Height)+(a.BitCount<>b.BitCount)
   if(a.BitCount<24)
      For i=0 to POW(2,a.BitCount)-1
         p=GetPalette(a,i)
         q=GetPalette(b,i)
         diff=diff+(p<>q)
      Next i
   endif
   For y=0 to a.Height-1
      For x=0 to a.Width-1
         va=GetPixelVal(a,x,y)
         vb=GetPixelVal(b,x,y)
         diff=diff+(va<>vb)
      Next x
   Next y
   DspMes(outName[k],": ",b.Width," x ",b.Height,", ",b.BitCount," bit, ",diff," differences")
Next k
