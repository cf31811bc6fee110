// Gamma correction in the ImageJ macro language: every component c becomes
// 255 * (c/255)^(1/2.2).
// Argument: "input:output".
args = split(getArgument(), ":");
setBatchMode(true);
open(args[0]);
inp = getImageID();
w = getWidth();
h = getHeight();
g = 1 / 2.2;
newImage("output", "RGB black", w, h, 1);
out = getImageID();
row = newArray(w);
for (y = 0; y < h; y++) {
    selectImage(inp);
    for (x = 0; x < w; x++)
        row[x] = getPixel(x, y);
    selectImage(out);
    for (x = 0; x < w; x++) {
        v = row[x];
        red = (v >> 16) & 0xff;
        green = (v >> 8) & 0xff;
        blue = v & 0xff;
        red = floor(pow(red / 255, g) * 255);
        green = floor(pow(green / 255, g) * 255);
        blue = floor(pow(blue / 255, g) * 255);
        setPixel(x, y, (red << 16) | (green << 8) | blue);
    }
    if (y % 10 == 0) showProgress(y / h);
}
saveAs("BMP", args[1]);
