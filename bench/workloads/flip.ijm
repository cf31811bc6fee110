// Mirror in the ImageJ macro language: the image flipped left to right.
// Argument: "input:output".
args = split(getArgument(), ":");
setBatchMode(true);
open(args[0]);
inp = getImageID();
w = getWidth();
h = getHeight();
newImage("output", "RGB black", w, h, 1);
out = getImageID();
row = newArray(w);
for (y = 0; y < h; y++) {
    selectImage(inp);
    for (x = 0; x < w; x++)
        row[x] = getPixel(x, y);
    selectImage(out);
    for (x = 0; x < w; x++)
        setPixel(w - 1 - x, y, row[x]);
    if (y % 10 == 0) showProgress(y / h);
}
saveAs("BMP", args[1]);
