' The Mandelbrot set on an 800 x 600 grid over -2..1 x -1.2..1.2: for every
' point the iteration at which z escapes (|z|^2 > 4), or 100 when it does not
' within 100 iterations; prints the sum. A loop ends early by setting its
' variable to the limit.
float    px,py,cx,cy,zx,zy,t,k,it,sum

For py=0 to 599
   cy=(py*0.004)-1.2
   For px=0 to 799
      cx=(px*0.00375)-2
      zx=0
      zy=0
      it=100
      For k=1 to 100
         t=(zx*zx)-(zy*zy)+cx
         zy=(2*zx*zy)+cy
         zx=t
         if(((zx*zx)+(zy*zy))>4)
            it=k
            k=100
         endif
      Next k
      sum=sum+it
   Next px
Next py
DspMes("iterations: ",sum)
