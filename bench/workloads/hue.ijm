// Hue rotation in the ImageJ macro language: every colour turned by 40 of the
// 240 steps of the hue circle, through the same integer conversions between
// RGB and hue, brightness, saturation (0 to 240) as the script.
// Argument: "input:output".
var hue, bri, sat;

function rgbToHbs(red, green, blue) {
    top = maxOf(red, maxOf(green, blue));
    bottom = minOf(red, minOf(green, blue));
    bri = floor(((top + bottom) * 240 + 255) / 510);
    if (top == bottom) {
        hue = 0;
        sat = 0;
        return;
    }
    d = top - bottom;
    if (bri <= 120) sat = floor(d * 240 / (top + bottom));
    else sat = floor(d * 240 / (510 - top - bottom));
    rd = floor((top - red) * 40 / d);
    gd = floor((top - green) * 40 / d);
    bd = floor((top - blue) * 40 / d);
    if (red == top) hue = bd - gd;
    else if (green == top) hue = 80 + rd - bd;
    else hue = 160 + gd - rd;
    if (hue < 0) hue += 240;
    else if (hue > 240) hue -= 240;
}

function hueToRgb(lo, hi, h) {
    if (h < 0) h += 240;
    if (h > 240) h -= 240;
    if (h < 40) return lo + floor(((hi - lo) * h + 20) / 40);
    if (h < 120) return hi;
    if (h < 160) return lo + floor(((hi - lo) * (160 - h) + 20) / 40);
    return lo;
}

function hbsToRgb(h, b, s) {
    if (s == 0) {
        grey = floor(b * 255 / 240);
        return (grey << 16) | (grey << 8) | grey;
    }
    if (b <= 120) hi = floor((b * (240 + s) + 120) / 240);
    else hi = b + s - floor((b * s + 120) / 240);
    lo = 2 * b - hi;
    red = floor((hueToRgb(lo, hi, h + 80) * 255 + 120) / 240);
    green = floor((hueToRgb(lo, hi, h) * 255 + 120) / 240);
    blue = floor((hueToRgb(lo, hi, h - 80) * 255 + 120) / 240);
    return (red << 16) | (green << 8) | blue;
}

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
        rgbToHbs((v >> 16) & 0xff, (v >> 8) & 0xff, v & 0xff);
        setPixel(x, y, hbsToRgb((hue + 40) % 240, bri, sat));
    }
    if (y % 10 == 0) showProgress(y / h);
}
saveAs("BMP", args[1]);
