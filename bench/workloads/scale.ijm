// Enlargement by 2, nearest neighbour, in the ImageJ macro language: every
// output pixel takes the input pixel at half its coordinates.
// Argument: "input:output".
args = split(getArgument(), ":");
setBatchMode(true);
open(args[0]);
inp = getImageID();
w = getWidth();
h = getHeight();
newImage("output", "RGB black", 2 * w, 2 * h, 1);
out = getImageID();
row = newArray(w);
for (y = 0; y < 2 * h; y++) {
    selectImage(inp);
    for (x = 0; x < w; x++)
        row[x] = getPixel(x, floor(y / 2));
    selectImage(out);
    for (x = 0; x < 2 * w; x++)
        setPixel(x, y, row[floor(x / 2)]);
    if (y % 10 == 0) showProgress(y / (2 * h));
}
saveAs("BMP", args[1]);
