// Negative in the ImageJ macro language: every component becomes 255 minus
// itself.
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
    for (x = 0; x < w; x++) {
        v = row[x];
        red = (v >> 16) & 0xff;
        green = (v >> 8) & 0xff;
        blue = v & 0xff;
        setPixel(x, y, ((255 - red) << 16) | ((255 - green) << 8) | (255 - blue));
    }
    if (y % 10 == 0) showProgress(y / h);
}
saveAs("BMP", args[1]);
