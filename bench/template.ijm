// The new-document template written in the ImageJ macro language: copies one
// image into another pixel by pixel. Argument: "input:output".
args = split(getArgument(), ":");
setBatchMode(true);
open(args[0]);
inp = getImageID();
w = getWidth();
h = getHeight();
if (bitDepth() == 8) {
    getLut(reds, greens, blues);
    newImage("output", "8-bit black", w, h, 1);
    setLut(reds, greens, blues);
} else {
    newImage("output", "RGB black", w, h, 1);
}
out = getImageID();
eight = bitDepth() == 8;
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
        if (eight) setPixel(x, y, v);
        else setPixel(x, y, (red << 16) | (green << 8) | blue);
    }
    if (y % 10 == 0) showProgress(y / h);
}
saveAs("BMP", args[1]);
