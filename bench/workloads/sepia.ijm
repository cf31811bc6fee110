// Sepia in the ImageJ macro language: the usual weighted sums of red, green
// and blue, at most 255.
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
        tr = floor(minOf(0.393 * red + 0.769 * green + 0.189 * blue, 255));
        tg = floor(minOf(0.349 * red + 0.686 * green + 0.168 * blue, 255));
        tb = floor(minOf(0.272 * red + 0.534 * green + 0.131 * blue, 255));
        setPixel(x, y, (tr << 16) | (tg << 8) | tb);
    }
    if (y % 10 == 0) showProgress(y / h);
}
saveAs("BMP", args[1]);
