#include "engine/variable_listing.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "engine/image_record.h"
#include "engine/values.h"

namespace tarvil {

namespace {

char FoldCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (FoldCase(text[i]) != FoldCase(prefix[i])) return false;
    }
    return true;
}

// Internal Items the compiler creates, and members.
bool IsHidden(std::string_view name) {
    constexpr std::array<std::string_view, 4> kInternalPrefixes = {"Const", "ForNext", "Num ",
                                                                   "Temp Var"};
    for (std::string_view prefix : kInternalPrefixes) {
        if (StartsWithIgnoringCase(name, prefix)) return true;
    }
    return name.find('.') != std::string_view::npos;
}

unsigned ColourByte(const Item& item, int index) {
    if (item.value == nullptr || item.size < 4) return 0;
    return static_cast<uint8_t>(item.value[index]);
}

// The line of one variable; empty when its type has none.
std::string VariableLine(const Item& item, const char* name) {
    switch (item.typeCode) {
        case kTypeString: {
            const std::string_view text = ItemText(item);
            return Format("string %10s = '%.*s'", name, static_cast<int>(text.size()), text.data());
        }
        case kTypeFloat:
            return Format("float  %10s = %s", name,
                          FormatNumber(static_cast<double>(ReadFloat(item))).c_str());
        case kTypeImage: {
            const Image* image = item.image.get();
            // Before LOADIMAGE or CREATEIMAGE there is no header to read.
            if (image == nullptr || !image->hasMemory()) {
                return Format("devcon %10s = (no image)", name);
            }
            return Format("devcon %10s = x=%d y=%d bit=%d res=%d", name, image->Width(),
                          image->Height(), image->BitCount(), image->ResolutionDpi());
        }
        case kTypeRgb:
            return Format("rgb    %10s = r=%3u g=%3u b=%3u", name, ColourByte(item, 0),
                          ColourByte(item, 1), ColourByte(item, 2));
        case kTypeHbs:
            return Format("hbs    %10s = h=%3u b=%3u s=%3u", name, ColourByte(item, 0),
                          ColourByte(item, 1), ColourByte(item, 2));
        default:
            return {};
    }
}

std::string FoldedCopy(const std::string& text) {
    std::string folded(text);
    for (char& c : folded) c = FoldCase(c);
    return folded;
}

}  // namespace

std::vector<std::string> VariableListing(const Machine& machine) {
    std::vector<std::string> lines;
    for (const Item* item = machine.VariableTable.head.get(); item != nullptr;
         item = item->next.get()) {
        if (!item->name || IsHidden(*item->name)) continue;
        std::string line = VariableLine(*item, item->name->c_str());
        if (!line.empty()) lines.push_back(std::move(line));
        // A packed array's other elements are listed as their Items would be.
        const DeclaredArray* array = machine.Arrays.StartingAt(item);
        if (array == nullptr || !array->Packed()) continue;
        VisitPackedElements(*array, [&lines](const Item& element) {
            std::string elementLine = VariableLine(element, element.name->c_str());
            if (!elementLine.empty()) lines.push_back(std::move(elementLine));
        });
    }
    // Case decides nothing. The folded lines are made once and compared whole
    // (unsigned bytes), not folded again for every comparison: a long array
    // makes many thousands of equal lines.
    std::vector<std::string> keys;
    keys.reserve(lines.size());
    for (const std::string& line : lines) keys.push_back(FoldedCopy(line));
    std::vector<size_t> order(lines.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&keys](size_t a, size_t b) { return keys[a] < keys[b]; });
    std::vector<std::string> sorted;
    sorted.reserve(lines.size());
    for (const size_t index : order) sorted.push_back(std::move(lines[index]));
    return sorted;
}

}  // namespace tarvil
