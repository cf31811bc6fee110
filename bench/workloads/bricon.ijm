// Brightness and contrast in the ImageJ macro language: components spread
// around the middle grey by a factor, raised by a step, kept between 0 and 255.
// Argument: "input:output".
args = split(getArgument(), ":");
setBatchMode(true);
open(args[0]);
inp = getImageID();
w = getWidth();
h = getHeight();
contrast = 1.25;
bright = 20;
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
        red = floor(minOf(maxOf((red - 128) * contrast + 128 + bright, 0), 255));
        green = floor(minOf(maxOf((green - 128) * contrast + 128 + bright, 0), 255));
        blue = floor(minOf(maxOf((blue - 128) * contrast + 128 + bright, 0), 255));
        setPixel(x, y, (red << 16) | (green << 8) | blue);
    }
    if (y % 10 == 0) showProgress(y / h);
}
saveAs("BMP", args[1]);
