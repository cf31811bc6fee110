' Every output loads again with its input's size, depth, colour table and
' pixel values. The inputs are DIR + NAME + ".bmp", the outputs DIR + NAME +
' END; DIR and END are the arguments, "" and ".png" without them.
string   base[4],dir,outEnd,inName,outName
DevCon   a,b
RGB      p,q
float    k,i,x,y,diff,va,vb
base[0]="bw1"
base[1]="pal4"
base[2]="pal8"
base[3]="grad24"
outEnd=".png"
if(ClNum>2)
   dir=ClArg[1]
   outEnd=ClArg[2]
endif
For k=0 to 3
   inName=dir+base[k]+".bmp"
   outName=dir+base[k]+outEnd
   a=LoadImage(inName)
   b=LoadImage(outName)
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
   DspMes(outName,": ",b.Width," x ",b.Height,", ",b.BitCount," bit, ",diff," differences")
Next k
