// 3 x 3 box blur in the ImageJ macro language: every pixel inside the border
// becomes the average of its neighbourhood; the border stays black. The three
// input rows around each output row are read first.
// Argument: "input:output".
args = split(getArgument(), ":");
setBatchMode(true);
open(args[0]);
inp = getImageID();
w = getWidth();
h = getHeight();
newImage("output", "RGB black", w, h, 1);
out = getImageID();
rows = newArray(3 * w);
for (y = 1; y < h - 1; y++) {
    selectImage(inp);
    for (j = 0; j < 3; j++)
        for (x = 0; x < w; x++)
            rows[j * w + x] = getPixel(x, y - 1 + j);
    selectImage(out);
    for (x = 1; x < w - 1; x++) {
        sr = 0;
        sg = 0;
        sb = 0;
        for (j = 0; j < 3; j++) {
            for (i = -1; i <= 1; i++) {
                v = rows[j * w + x + i];
                sr += (v >> 16) & 0xff;
                sg += (v >> 8) & 0xff;
                sb += v & 0xff;
            }
        }
        setPixel(x, y, (floor(sr / 9) << 16) | (floor(sg / 9) << 8) | floor(sb / 9));
    }
    if (y % 10 == 0) showProgress(y / h);
}
saveAs("BMP", args[1]);
