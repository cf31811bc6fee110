// Threshold in the ImageJ macro language: a black and white image (8 bits,
// ImageJ has no 1-bit images), white where the average of red, green and blue
// is above 127.
// Argument: "input:output".
args = split(getArgument(), ":");
setBatchMode(true);
open(args[0]);
inp = getImageID();
w = getWidth();
h = getHeight();
newImage("output", "8-bit black", w, h, 1);
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
        if (floor((red + green + blue) / 3) > 127) setPixel(x, y, 255);
        else setPixel(x, y, 0);
    }
    if (y % 10 == 0) showProgress(y / h);
}
saveAs("BMP", args[1]);
