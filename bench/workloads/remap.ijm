// Palette remap in the ImageJ macro language: the colour table (LUT) of an
// 8-bit image reordered by a table of new indices, and every pixel's index
// mapped through the same table.
// Argument: "input:output".
args = split(getArgument(), ":");
setBatchMode(true);
open(args[0]);
inp = getImageID();
w = getWidth();
h = getHeight();
getLut(reds, greens, blues);
newIndex = newArray(256);
newReds = newArray(256);
newGreens = newArray(256);
newBlues = newArray(256);
for (i = 0; i < 256; i++) {
    newIndex[i] = (i * 173 + 29) % 256;
    newReds[newIndex[i]] = reds[i];
    newGreens[newIndex[i]] = greens[i];
    newBlues[newIndex[i]] = blues[i];
}
newImage("output", "8-bit black", w, h, 1);
out = getImageID();
setLut(newReds, newGreens, newBlues);
row = newArray(w);
for (y = 0; y < h; y++) {
    selectImage(inp);
    for (x = 0; x < w; x++)
        row[x] = getPixel(x, y);
    selectImage(out);
    for (x = 0; x < w; x++)
        setPixel(x, y, newIndex[row[x]]);
    if (y % 10 == 0) showProgress(y / h);
}
saveAs("BMP", args[1]);
