// Sobel edges of a grey image in the ImageJ macro language: the length of the
// gradient, at most 255; the border stays black. The three input rows around
// each output row are read first.
// Argument: "input:output".
args = split(getArgument(), ":");
setBatchMode(true);
open(args[0]);
inp = getImageID();
w = getWidth();
h = getHeight();
newImage("output", "8-bit black", w, h, 1);
out = getImageID();
up = newArray(w);
mid = newArray(w);
down = newArray(w);
for (y = 1; y < h - 1; y++) {
    selectImage(inp);
    for (x = 0; x < w; x++) {
        up[x] = getPixel(x, y - 1);
        mid[x] = getPixel(x, y);
        down[x] = getPixel(x, y + 1);
    }
    selectImage(out);
    for (x = 1; x < w - 1; x++) {
        gx = (up[x + 1] + 2 * mid[x + 1] + down[x + 1]) - (up[x - 1] + 2 * mid[x - 1] + down[x - 1]);
        gy = (down[x - 1] + 2 * down[x] + down[x + 1]) - (up[x - 1] + 2 * up[x] + up[x + 1]);
        setPixel(x, y, floor(minOf(sqrt(gx * gx + gy * gy), 255)));
    }
    if (y % 10 == 0) showProgress(y / h);
}
saveAs("BMP", args[1]);
