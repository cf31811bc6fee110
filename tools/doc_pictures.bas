' Makes the pictures the README's cookbook pictures start from:
'   scene.bmp  240 x 160, 24 bit: a sky, a sun, hills, a chequered cloth,
'              a fence and three balloons
'   logo.bmp    96 x 40, 24 bit: a white badge on magenta (left out by
'              the overlay example)
' Expressions run from left to right: the brackets are needed.

DevCon   img
RGB      c
float    x,y,w,h,dx,dy,d,t,ground,i,bx,by

w=240
h=160
img=CreateImage(w,h,24)
For y=0 to h-1
   For x=0 to w-1
      ground=110+(SIN(x/19)*8)+(SIN(x/7)*2)
      if(y<ground)
         ' Sky from deep blue at the top to orange at the horizon.
         t=y/ground
         c.Red  =30+(t*220)
         c.Green=40+(t*130)
         c.Blue =140-(t*60)
      else
         ' Hills: darker green further down.
         t=(y-ground)/(h-ground)
         c.Red  =60-(t*40)
         c.Green=170-(t*90)
         c.Blue =50-(t*30)
      endif
      ' The sun: yellow, fading to orange at its rim.
      dx=x-180
      dy=y-42
      d=SQR((dx*dx)+(dy*dy))
      if(d<24)
         c.Red  =255
         c.Green=240-(d*4)
         c.Blue =120-(d*5)
      endif
      ' A chequered cloth of 4 x 4 squares on the grass.
      if((x>=16)&(x<88)&(y>=124)&(y<152))
         if((INT(x/4)+INT(y/4))%2=0)
            c.Red  =220
            c.Green=30
            c.Blue =40
         else
            c.Red  =245
            c.Green=245
            c.Blue =235
         endif
      endif
      ' A fence of one-pixel posts and two rails.
      if((x>=110)&(x<230)&(y>=104)&(y<128))
         if((x%5=0)|(y=110)|(y=120))
            c.Red  =90
            c.Green=60
            c.Blue =30
         endif
      endif
      SetPixel(img,x,y,c)
   Next x
Next y

' Three balloons with dark outlines and a string below each.
For i=0 to 2
   bx=40+(i*34)
   by=40+((i%2)*16)
   For y=by-16 to by+16
      For x=bx-13 to bx+13
         dx=(x-bx)/13
         dy=(y-by)/16
         d=(dx*dx)+(dy*dy)
         if(d<1)
            c.Red  =(i=0)*230+((i=2)*60)+20
            c.Green=(i=1)*200+((i=2)*90)+20
            c.Blue =(i=2)*200+40
            if(d>0.8)
               c.Red  =c.Red/3
               c.Green=c.Green/3
               c.Blue =c.Blue/3
            endif
            SetPixel(img,x,y,c)
         endif
      Next x
   Next y
   c.Red  =60
   c.Green=60
   c.Blue =60
   For y=by+17 to by+44
      SetPixel(img,bx+(SIN(y/4)*2),y,c)
   Next y
Next i
SaveImage(img,"scene.bmp")

' The badge: a white rounded box with a dark blue T, on magenta.
img=CreateImage(96,40,24)
For y=0 to 39
   For x=0 to 95
      c.Red  =255
      c.Green=0
      c.Blue =255
      dx=MAX(MAX(12-x,x-83),0)
      dy=MAX(MAX(12-y,y-27),0)
      if((dx*dx)+(dy*dy)<144)
         c.Red  =250
         c.Green=250
         c.Blue =250
         if(((y>=8)&(y<14)&(x>=34)&(x<62))|((x>=45)&(x<51)&(y>=8)&(y<33)))
            c.Red  =20
            c.Green=40
            c.Blue =120
         endif
      endif
      SetPixel(img,x,y,c)
   Next x
Next y
SaveImage(img,"logo.bmp")
