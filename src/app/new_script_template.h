// The script File New puts into the editor: 46 lines, each ended by CR LF,
// the first and the last empty. It copies one image into another pixel by pixel.
#pragma once

#include <string_view>

namespace tarvil {

// clang-format off
inline constexpr std::string_view NewScriptTemplate =
    "\r\n"
    "' Effect xxxxx.\r\n"
    "' Filter struct base...\r\n"
    "' .....................\r\n"
    "\r\n"
    "' Input:   1-4-8-24 bit\r\n"
    "' Output:  1-4-8-24 bit\r\n"
    "\r\n"
    "' Author:  __________  date: ..-..-..     rev: 1.0\r\n"
    "\r\n"
    "\r\n"
    "string   inpFile,outFile\r\n"
    "DevCon   Ibmp,Obmp\r\n"
    "RGB      pix\r\n"
    "float    x,y\r\n"
    "\r\n"
    "inpFile=\"input.bmp\"\r\n"
    "outFile=\"output.bmp\"\r\n"
    "\r\n"
    "Ibmp=LoadImage(inpFile)\r\n"
    "Obmp=CreateImage(Ibmp.Width,Ibmp.Height,Ibmp.BitCount)\r\n"
    "\r\n"
    "if((Ibmp.BitCount=8) |(Ibmp.BitCount=4)) ' if 4 or 8 bit copy palette\r\n"
    "  For y=0 to 255\r\n"
    "     pix=GetPalette(Ibmp,y)\r\n"
    "     SetPalette(Obmp,y,pix)\r\n"
    "  Next y\r\n"
    "Endif\r\n"
    "\r\n"
    "For y=0 to Ibmp.Height-1\r\n"
    "   For x=0 to Ibmp.Width-1\r\n"
    "      pix=GetPixel(Ibmp,x,y)\r\n"
    "      pix.Red  =pix.Red\r\n"
    "      pix.Green=pix.Green\r\n"
    "      pix.Blue =pix.Blue\r\n"
    "      SetPixel(Obmp,x,y,pix)\r\n"
    "   Next x\r\n"
    "   if(y%10=0)\r\n"
    "      DspWhile(\"Converting\",100/Ibmp.Height*y)\r\n"
    "      Preview(Obmp,\"Output\",5,5)\r\n"
    "   endif\r\n"
    "Next y\r\n"
    "DspWhile(\"\",0)\r\n"
    "SaveImage(Obmp,outFile)\r\n"
    "DspMes(\"End\")\r\n"
    "\r\n";
// clang-format on

}  // namespace tarvil
