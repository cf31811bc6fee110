#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "fake_host.h"
#include "handler_test_support.h"

namespace tarvil::testing {
namespace {

using Colour = std::array<uint8_t, 4>;
constexpr int kError = -1;  // marks an "Error: Unknown assignment" outcome in the tables

// Every kind of source the matrix distinguishes, built in one machine.
class AssignMatrix : public ::testing::Test {
protected:
    void SetUp() override {
        sources_["s"] = MakeString(m_, "s", "abc");
        sources_["f"] = MakeFloat(m_, "f", 300.7f);
        Item* img = MakeImageVariable(m_, "img", MakeImage(640, 480, 8, 3780));
        sources_["img"] = img;
        Item* temp = MakeTemp(m_);
        temp->typeCode = kTypeImageResult;
        temp->image = MakeImage(2, 2, 24);
        sources_["tmpimg"] = temp;
        Item* rgb = MakeColour(m_, kTypeRgb, "rgb", {10, 20, 31, 40});
        sources_["rgb"] = rgb;
        Item* hbs = MakeColour(m_, kTypeHbs, "hbs", {160, 120, 240, 7});
        sources_["hbs"] = hbs;
        const std::pair<TypeCode, const char*> imageMembers[] = {
            {kMemberHdc, "hDC"}, {kMemberHeight, "Height"},     {kMemberWidth, "Width"},
            {kMemberRes, "Res"}, {kMemberBitCount, "BitCount"}, {kMemberClrImp, "ClrImp"}};
        for (auto [code, name] : imageMembers) {
            sources_[std::string("img.") + name] = MakeMember(m_, img, code, name);
        }
        const std::pair<TypeCode, const char*> rgbMembers[] = {{kMemberLum, "Lum"},
                                                               {kMemberRed, "Red"},
                                                               {kMemberGreen, "Green"},
                                                               {kMemberBlue, "Blue"}};
        for (auto [code, name] : rgbMembers) {
            sources_[std::string("rgb.") + name] = MakeMember(m_, rgb, code, name);
        }
        const std::pair<TypeCode, const char*> hbsMembers[] = {
            {kMemberHue, "Hue"}, {kMemberBri, "Bri"}, {kMemberSat, "Sat"}};
        for (auto [code, name] : hbsMembers) {
            sources_[std::string("hbs.") + name] = MakeMember(m_, hbs, code, name);
        }
    }

    // Runs target = source; returns true when the assignment was refused.
    bool AssignFrom(Item* target, const std::string& source) {
        EXPECT_TRUE(sources_.count(source)) << source;
        PushItem(m_, sources_.at(source));
        RunHandler(m_, Assign, target);
        EXPECT_EQ(m_.StackTop, 0u);
        const std::string stop = LastStop(m_);
        ClearList(m_.StopList);
        if (stop.empty()) return false;
        EXPECT_EQ(stop, "Error: Unknown assignment");
        return true;
    }

    std::vector<std::string> SourceNames() const {
        std::vector<std::string> names;
        for (const auto& [name, item] : sources_) names.push_back(name);
        return names;
    }

    FakeHost host_;
    Machine m_{&host_};
    std::map<std::string, Item*> sources_;
};

TEST_F(AssignMatrix, StringTargetTakesOnlyText) {
    for (const std::string& source : SourceNames()) {
        Item* target = MakeString(m_, "t", "old");
        const bool refused = AssignFrom(target, source);
        EXPECT_EQ(refused, source != "s") << source;
        EXPECT_EQ(ItemText(*target), source == "s" ? "abc" : "old") << source;
    }
}

TEST_F(AssignMatrix, FloatTarget) {
    const std::map<std::string, double> accepted = {
        {"f", 300.7f},
        {"img.Height", 480},
        {"img.Width", 640},
        {"img.BitCount", 8},
        // Lum keeps its fraction here: (10 + 20 + 31) × the float nearest 1/3.
        {"rgb.Lum", static_cast<float>(61 * 0.3333333432674408)},
        {"rgb.Red", 10},
        {"rgb.Green", 20},
        {"rgb.Blue", 31},
        {"hbs.Hue", 160},
        {"hbs.Bri", 120},
        {"hbs.Sat", 240},
    };
    EXPECT_FLOAT_EQ(static_cast<float>(accepted.at("rgb.Lum")), 20.333334f);
    for (const std::string& source : SourceNames()) {
        Item* target = MakeFloat(m_, "t", -1.0f);
        const bool refused = AssignFrom(target, source);
        const auto found = accepted.find(source);
        EXPECT_EQ(refused, found == accepted.end()) << source;
        EXPECT_EQ(ReadFloat(*target), found == accepted.end() ? -1.0f : found->second) << source;
    }
}

TEST_F(AssignMatrix, RgbTargetAndItsMembers) {
    // Component v of each source: the low 8 bits of a number, a colour byte, else 0.
    const std::map<std::string, int> component = {
        {"f", 44},        {"rgb.Lum", 20},  {"rgb.Red", 10},  {"rgb.Green", 20},
        {"rgb.Blue", 31}, {"hbs.Hue", 160}, {"hbs.Bri", 120}, {"hbs.Sat", 240},
    };
    const Colour initial = {1, 2, 3, 4};
    for (const std::string& source : SourceNames()) {
        Item* whole = MakeColour(m_, kTypeRgb, "t", initial);
        const bool refused = AssignFrom(whole, source);
        std::optional<Colour> expected;
        if (source == "rgb") expected = Colour{10, 20, 31, 40};
        if (source == "hbs") expected = Colour{0, 0, 255, 0};
        EXPECT_EQ(refused, !expected) << source;
        const Colour want = expected.value_or(initial);
        EXPECT_EQ(Bytes(*whole, 4), std::vector<uint8_t>(want.begin(), want.end())) << source;

        const auto found = component.find(source);
        const uint8_t v = found == component.end() ? 0 : found->second;
        const struct {
            TypeCode member;
            Colour expected;
        } members[] = {{kMemberLum, {v, v, v, 0}},
                       {kMemberRed, {v, 2, 3, 0}},
                       {kMemberGreen, {1, v, 3, 0}},
                       {kMemberBlue, {1, 2, v, 0}}};
        for (const auto& c : members) {
            Item* variable = MakeColour(m_, kTypeRgb, "t", initial);
            Item* member = MakeMember(m_, variable, c.member, "m");
            EXPECT_FALSE(AssignFrom(member, source)) << "colour members never refuse";
            EXPECT_EQ(Bytes(*variable, 4),
                      std::vector<uint8_t>(c.expected.begin(), c.expected.end()))
                << source << " -> member " << c.member;
        }
    }
}

TEST_F(AssignMatrix, HbsTargetAndItsMembers) {
    const std::map<std::string, int> component = {
        {"f", 44},        {"rgb.Lum", 20},  {"rgb.Red", 10},  {"rgb.Green", 20},
        {"rgb.Blue", 31}, {"hbs.Hue", 160}, {"hbs.Bri", 120}, {"hbs.Sat", 240},
    };
    const Colour initial = {5, 6, 7, 8};
    for (const std::string& source : SourceNames()) {
        Item* whole = MakeColour(m_, kTypeHbs, "t", initial);
        const bool refused = AssignFrom(whole, source);
        std::optional<Colour> expected;
        if (source == "rgb") expected = Colour{140, 19, 122, 8};  // the fourth byte stays
        if (source == "hbs") expected = Colour{160, 120, 240, 7};
        EXPECT_EQ(refused, !expected) << source;
        const Colour want = expected.value_or(initial);
        EXPECT_EQ(Bytes(*whole, 4), std::vector<uint8_t>(want.begin(), want.end())) << source;

        const auto found = component.find(source);
        const uint8_t v = found == component.end() ? 0 : found->second;
        const struct {
            TypeCode member;
            Colour expected;
        } members[] = {
            {kMemberHue, {v, 6, 7, 8}}, {kMemberBri, {5, v, 7, 8}}, {kMemberSat, {5, 6, v, 8}}};
        for (const auto& c : members) {
            Item* variable = MakeColour(m_, kTypeHbs, "t", initial);
            Item* member = MakeMember(m_, variable, c.member, "m");
            EXPECT_FALSE(AssignFrom(member, source));
            EXPECT_EQ(Bytes(*variable, 4),
                      std::vector<uint8_t>(c.expected.begin(), c.expected.end()))
                << source << " -> member " << c.member;
        }
    }
}

TEST_F(AssignMatrix, ImageMemberTargets) {
    for (const std::string& source : SourceNames()) {
        auto image = MakeImage(10, 20, 8, 1000);
        Item* variable = MakeImageVariable(m_, "t", image);
        // Res and ClrImp take numbers only; the others cannot be written at all.
        EXPECT_EQ(AssignFrom(MakeMember(m_, variable, kMemberRes, "Res"), source), source != "f")
            << source;
        EXPECT_EQ(AssignFrom(MakeMember(m_, variable, kMemberClrImp, "ClrImp"), source),
                  source != "f")
            << source;
        for (TypeCode readOnly : {kMemberHdc, kMemberHeight, kMemberWidth, kMemberBitCount}) {
            EXPECT_TRUE(AssignFrom(MakeMember(m_, variable, readOnly, "m"), source)) << source;
        }
        EXPECT_EQ(image->Width(), 10);
        EXPECT_EQ(image->Height(), 20);
        EXPECT_EQ(image->BitCount(), 8);
        const int32_t perMetre = source == "f" ? 11838 : 1000;  // 300.7 dpi
        EXPECT_EQ(image->HeaderInt32(bih::kXPelsPerMeter), perMetre) << source;
        EXPECT_EQ(image->HeaderInt32(bih::kYPelsPerMeter), perMetre) << source;
        EXPECT_EQ(image->HeaderInt32(bih::kClrImportant), source == "f" ? 300 : 0) << source;
    }
}

TEST_F(AssignMatrix, ImageTargetsTakeImagesOnly) {
    for (const std::string& source : SourceNames()) {
        auto old = MakeImage(1, 1, 1);
        Item* variable = MakeImageVariable(m_, "t", old);
        std::weak_ptr<Image> watch = old;
        old.reset();
        const std::shared_ptr<Image> offered = sources_.at(source)->image;
        const bool isImage = source == "img" || source == "tmpimg";
        EXPECT_EQ(AssignFrom(variable, source), !isImage) << source;
        // The old image goes whatever the source was.
        EXPECT_TRUE(watch.expired()) << source;
        EXPECT_EQ(variable->image, isImage ? offered : nullptr) << source;
        if (source == "tmpimg") sources_["tmpimg"]->image = offered;  // restore for later rounds

        Item* temporary = MakeTemp(m_);
        temporary->typeCode = kTypeImageResult;
        auto held = MakeImage(1, 1, 1);
        temporary->image = held;
        EXPECT_EQ(AssignFrom(temporary, source), !isImage) << source;
        EXPECT_EQ(temporary->image, isImage ? offered : held) << source;
        if (source == "tmpimg") sources_["tmpimg"]->image = offered;
    }
}

TEST(Assign, StringIsCutToItsBlock) {
    Machine m;
    const std::string longText(300, 'x');
    Item* longSource = CreateItem(m.VariableTable, kTypeString, longText.data(), 300, "Const ");
    Item* target = MakeString(m, "s", "previous text that is long");
    PushItem(m, longSource);
    RunHandler(m, Assign, target);
    EXPECT_EQ(ItemText(*target), std::string(254, 'x'));
    EXPECT_EQ(target->value[254], std::byte{0});

    // A ClArg block holds its argument and the terminator only.
    Item* clArg = MakeString(m, "ClArg", "abc", 4);
    PushItem(m, MakeString(m, "Const ", "hello world"));
    RunHandler(m, Assign, clArg);
    EXPECT_EQ(ItemText(*clArg), "hel");
    EXPECT_EQ(clArg->value[3], std::byte{0});

    // The rest of the block is cleared, and a string assigned to itself stays.
    Item* shortText = MakeString(m, "Const ", "ab");
    PushItem(m, shortText);
    RunHandler(m, Assign, target);
    EXPECT_EQ(Bytes(*target, 255), Bytes(*shortText, 255));
    PushItem(m, target);
    RunHandler(m, Assign, target);
    EXPECT_EQ(ItemText(*target), "ab");
    EXPECT_TRUE(m.StopList.empty());
}

TEST(Assign, NumbersWrapIntoColourMembers) {
    const struct {
        float value;
        uint8_t stored;
    } cases[] = {{300, 44}, {256, 0}, {-1, 255}, {7.9f, 7}, {255.9f, 255}, {NAN, 0}};
    for (const auto& c : cases) {
        Machine m;
        Item* pix = MakeColour(m, kTypeRgb, "pix", {1, 2, 3, 4});
        PushItem(m, MakeFloat(m, "Const 1", c.value));
        RunHandler(m, Assign, MakeMember(m, pix, kMemberGreen, "Green"));
        EXPECT_EQ(Bytes(*pix, 4), (std::vector<uint8_t>{1, c.stored, 3, 0})) << c.value;
    }
}

TEST(Assign, ResolutionInDotsPerInch) {
    const struct {
        float dpi;
        int32_t perMetre;
    } cases[] = {{72, 2834}, {96, 3779}, {0, 0}, {-72, -2834}};
    for (const auto& c : cases) {
        Machine m;
        auto image = MakeImage(4, 4, 8);
        Item* img = MakeImageVariable(m, "img", image);
        PushItem(m, MakeFloat(m, "Const", c.dpi));
        RunHandler(m, Assign, MakeMember(m, img, kMemberRes, "Res"));
        EXPECT_EQ(image->HeaderInt32(bih::kXPelsPerMeter), c.perMetre) << c.dpi;
        EXPECT_EQ(image->HeaderInt32(bih::kYPelsPerMeter), c.perMetre) << c.dpi;
    }
}

TEST(Assign, MembersOfAVariableWithoutAnImage) {
    Machine m;
    Item* img = MakeImageVariable(m, "img");
    PushItem(m, MakeFloat(m, "Const", 72));
    RunHandler(m, Assign, MakeMember(m, img, kMemberRes, "Res"));
    PushItem(m, MakeFloat(m, "Const", 3));
    RunHandler(m, Assign, MakeMember(m, img, kMemberClrImp, "ClrImp"));
    Item* f = MakeFloat(m, "f", 9);
    PushItem(m, MakeMember(m, img, kMemberWidth, "Width"));
    RunHandler(m, Assign, f);
    EXPECT_EQ(ReadFloat(*f), 0.0f);
    EXPECT_EQ(img->image, nullptr);
    EXPECT_TRUE(m.StopList.empty());
}

TEST(Assign, ImagesAreSharedAndReleasedOnce) {
    FakeHost host;
    Machine m(&host);
    auto image = MakeImage(8, 8, 24);
    image->preview = host.CreatePreview(*image, "a", 0, 0, 10, 10);
    Item* a = MakeImageVariable(m, "a", image);
    Item* b = MakeImageVariable(m, "b");
    image.reset();

    PushItem(m, a);
    RunHandler(m, Assign, b);
    ASSERT_EQ(a->image, b->image);
    a->image->SetHeaderInt32(bih::kWidth, 9);  // drawing through one is seen through the other
    EXPECT_EQ(b->image->Width(), 9);

    // Self-assignment and assigning the same image again keep it intact.
    PushItem(m, a);
    RunHandler(m, Assign, a);
    PushItem(m, b);
    RunHandler(m, Assign, a);
    ASSERT_NE(a->image, nullptr);
    EXPECT_EQ(a->image, b->image);
    EXPECT_EQ(a->image.use_count(), 2);
    EXPECT_EQ(host.previewsDestroyed, 0);

    // The image and its preview go with the last holder.
    Item* other = MakeImageVariable(m, "c", MakeImage(2, 2, 1));
    PushItem(m, other);
    RunHandler(m, Assign, a);
    EXPECT_EQ(host.previewsDestroyed, 0);
    PushItem(m, MakeFloat(m, "Const", 1));
    RunHandler(m, Assign, b);
    EXPECT_EQ(LastStop(m), "Error: Unknown assignment");
    EXPECT_EQ(b->image, nullptr);
    EXPECT_EQ(host.previewsDestroyed, 1);
}

TEST(Assign, ImageResultIsHandedOverToTheVariable) {
    Machine m;
    Item* result = MakeTemp(m);
    result->typeCode = kTypeImageResult;
    result->image = MakeImage(3, 3, 8);
    std::weak_ptr<Image> watch = result->image;
    Item* img = MakeImageVariable(m, "img");
    PushItem(m, result);
    RunHandler(m, Assign, img);
    EXPECT_EQ(img->image, watch.lock());
    EXPECT_EQ(result->image, nullptr);
    // Replacing it frees it at once.
    PushItem(m, MakeImageVariable(m, "other", MakeImage(1, 1, 1)));
    RunHandler(m, Assign, img);
    EXPECT_TRUE(watch.expired());
}

TEST(Assign, UnknownTargetsAndAnEmptyStack) {
    Machine m;
    Item* temp = MakeTemp(m);
    temp->typeCode = kTypeNone;
    PushItem(m, MakeFloat(m, "Const", 1));
    RunHandler(m, Assign, temp);
    EXPECT_EQ(LastStop(m), "Error: Unknown assignment");

    ClearList(m.StopList);
    Item* f = MakeFloat(m, "f", 5);
    RunHandler(m, Assign, f);  // nothing on the stack
    EXPECT_FALSE(m.StopList.empty());
    EXPECT_EQ(ReadFloat(*f), 5.0f);
}

}  // namespace
}  // namespace tarvil::testing
