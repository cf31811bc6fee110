' Seed images for the fuzzers, written by the application itself: every
' depth, with widths that fill whole words and widths that need padding.
' Saved as seed1.bmp ... seed12.bmp in the current directory.
DevCon   img
string   name
RGB      c
float    x,y,w,h,i,bits,n

n=0
For bits=1 to 24
  if((bits=1)|(bits=4)|(bits=8)|(bits=24))
    For w=1 to 9 step 4
      h=w%3+2
      img=CreateImage(w,h,bits)
      if(bits<24)
        For i=0 to 255
          c.Red=i*5
          c.Green=255-i
          c.Blue=i*3
          SetPalette(img,i,c)
        Next i
      endif
      For y=0 to h-1
        For x=0 to w-1
          if(bits=24)
            c.Red=x*40
            c.Green=y*60
            c.Blue=x*y*7
            SetPixel(img,x,y,c)
          else
            SetPixelVal(img,x,y,(x*7+y*3)%256)
          endif
        Next x
      Next y
      n=n+1
      if(n=1)
        name="seed1.bmp"
      endif
      if(n=2)
        name="seed2.bmp"
      endif
      if(n=3)
        name="seed3.bmp"
      endif
      if(n=4)
        name="seed4.bmp"
      endif
      if(n=5)
        name="seed5.bmp"
      endif
      if(n=6)
        name="seed6.bmp"
      endif
      if(n=7)
        name="seed7.bmp"
      endif
      if(n=8)
        name="seed8.bmp"
      endif
      if(n=9)
        name="seed9.bmp"
      endif
      if(n=10)
        name="seed10.bmp"
      endif
      if(n=11)
        name="seed11.bmp"
      endif
      if(n=12)
        name="seed12.bmp"
      endif
      SaveImage(img,name)
    Next w
  endif
Next bits
