' Convert a folder to PNG: every file a pattern finds is loaded and saved
' beside itself under its own name with ".png" added (photo.bmp becomes
' photo.bmp.png), as a PNG at its own depth.
'   tarvil --batch convert_folder_to_png.bas 'photos/*.bmp'
' Quote the pattern, so that FILEFIND and not the shell reads it, and let it
' match only images: a pattern that also matches the PNG files being written
' would find them too.

string   pattern,name
DevCon   img
float    k,count

if(ClNum<2)
   DspMes("Give a pattern such as photos/*.bmp")
   Return
endif

pattern=ClArg[1]
' The first call takes the pattern (and empties it); each later call gives
' the next name, and empty text when there is none left.
name=FileFind(pattern)
For k=1 to 1
   if(name<>"")
      img=LoadImage(name)
      SaveImage(img,name+".png")
      count=count+1
      name=FileFind(pattern)
      ' Once more round the loop.
      k=0
   endif
Next k
DspMes("Converted ",count," images")
