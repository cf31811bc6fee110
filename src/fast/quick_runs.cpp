// Quick runs: the ordinary path made cheaper for any script.
//
// A straight stretch of code (no jump target inside it, nothing that
// IndexArray redirects, only pushes, arithmetic, comparisons, the numeric
// functions of a fixed argument count, numeric and colour-component
// assignments, ended by a jump or by an instruction of any
// other kind) has a stack picture known when the code is prepared: which Item
// each pop receives. Each of its instructions gets a quick op that reads its
// operands straight from those Items, with the load chosen for the TypeCode
// each had when prepared, and writes its temporary or its target as the
// plain handler would. Every load first checks that the TypeCode is still the
// prepared one. Where a check fails, or the instruction would stop the run
// (a zero divisor of '%'), the run stops before that instruction: the
// operand stack is given the Items the picture says the plain path would
// have there, and the plain handlers go on from that instruction, so errors,
// messages and stops come from them.
#include <algorithm>
#include <cstring>
#include <vector>

#include "fast/fast_paths.h"
#include "fast/fast_steps.h"
#include "handlers/handlers.h"
#include "handlers/math_functions.h"
#include "image/image_operand.h"
#include "image/pixel_access.h"

namespace tarvil {

namespace {

// What a quick op does.
enum QuickKind : uint8_t {
    kNotQuick = 0,
    kPush,            // PushOperand: only the picture changes
    kArithmetic,      // + - * / of two numbers
    kInteger,         // % & | ^ of two numbers as unsigned 32-bit integers
    kCompare,         // = <> < <= > >= giving 1 or 0
    kNot,             // 1 when the number is 0
    kUnaryFunction,   // SIN, SQR, INT...: `op` is the UnaryFunction
    kBinaryFunction,  // POW, MIN, MAX: `op` is the BinaryFunction
    kRand,            // RAND, drawing from the Machine's generator
    kAssignFloat,
    kAssignColourMember,
    kAssignColour,  // RGB from RGB, HBS from HBS: the four bytes
    kGetPixel,      // the colour of a pixel into the temporary
    kSetPixel,
    kGetPixelValue,  // the stored value of a pixel into the temporary
    kSetPixelValue,
    kJump,
    kJumpIfTrue,
    kJumpIfFalse,
};

enum Operator : uint8_t {
    kAdd,
    kSub,
    kMul,
    kDiv,
    kMod,
    kAnd,
    kOr,
    kXor,
    kEq,
    kNe,
    kLt,
    kLe,
    kGt,
    kGe
};

// The arithmetic operators' codes are the shared Arithmetic values.
static_assert(kAdd == static_cast<uint8_t>(Arithmetic::kAdd) &&
              kSub == static_cast<uint8_t>(Arithmetic::kSub) &&
              kMul == static_cast<uint8_t>(Arithmetic::kMul) &&
              kDiv == static_cast<uint8_t>(Arithmetic::kDiv));

// How an operand reads as a number, chosen by its TypeCode.
enum NumberLoad : uint8_t {
    kLoadFloat,
    kLoadByte0,
    kLoadByte1,
    kLoadByte2,
    kLoadLum,
    kLoadRgb,
    kLoadWidth,  // image members: from the image of the member's variable, 0 without one
    kLoadHeight,
    kLoadBitCount,
};

// The picture can hold this many Items; deeper expressions end the run.
constexpr size_t kDeepestPicture = 32;

bool HasColourBlock(const Item* item) {
    return item->value != nullptr && item->size >= kColourBytes;
}

// The load for an operand of this TypeCode (whose block holds four bytes), or false.
bool ChooseNumberLoad(TypeCode code, uint8_t& load) {
    switch (code) {
        case kTypeFloat:
            load = kLoadFloat;
            return true;
        case kMemberRed:
        case kMemberHue:
            load = kLoadByte0;
            return true;
        case kMemberGreen:
        case kMemberBri:
            load = kLoadByte1;
            return true;
        case kMemberBlue:
        case kMemberSat:
            load = kLoadByte2;
            return true;
        case kMemberLum:
            load = kLoadLum;
            return true;
        case kTypeRgb:
            load = kLoadRgb;
            return true;
        case kMemberWidth:
            load = kLoadWidth;
            return true;
        case kMemberHeight:
            load = kLoadHeight;
            return true;
        case kMemberBitCount:
            load = kLoadBitCount;
            return true;
        default:
            return false;
    }
}

// An operand the loads can read: an image member reads its variable's image,
// every other one the four bytes of its block.
bool Readable(const Item* item, TypeCode type) {
    if (type == kMemberWidth || type == kMemberHeight || type == kMemberBitCount) return true;
    return HasColourBlock(item);
}

// What ItemNumber gives for an image member. Out of line: the other loads
// are the common ones.
[[gnu::noinline]] double ImageMemberNumber(const Item& item, uint8_t load) {
    const Image* image = item.parent != nullptr ? item.parent->image.get() : nullptr;
    if (image == nullptr) return 0.0;
    if (load == kLoadWidth) return image->Width();
    if (load == kLoadHeight) return image->Height();
    return image->BitCount();
}

// What ItemNumber gives for the Item, read the way `load` says.
inline double LoadNumber(const Item& item, uint8_t load) {
    const std::byte* b = item.value;
    const auto byte = [b](int k) { return static_cast<uint32_t>(static_cast<uint8_t>(b[k])); };
    switch (load) {
        case kLoadFloat:
            return LoadFloatBytes(b);
        case kLoadByte0:
            return byte(0);
        case kLoadByte1:
            return byte(1);
        case kLoadByte2:
            return byte(2);
        case kLoadLum:
            return (byte(0) + byte(1) + byte(2)) / 3;
        case kLoadWidth:
        case kLoadHeight:
        case kLoadBitCount:
            return ImageMemberNumber(item, load);
        default:
            return static_cast<double>(byte(0) | (byte(1) << 8) | (byte(2) << 16) |
                                       (byte(3) << 24));
    }
}

bool OperatorOf(Handler handler, uint8_t& kind, uint8_t& op) {
    const struct {
        Handler handler;
        uint8_t kind;
        uint8_t op;
    } operators[] = {
        {OpAdd, kArithmetic, kAdd}, {OpSub, kArithmetic, kSub}, {OpMul, kArithmetic, kMul},
        {OpDiv, kArithmetic, kDiv}, {OpMod, kInteger, kMod},    {OpAnd, kInteger, kAnd},
        {OpOr, kInteger, kOr},      {OpXor, kInteger, kXor},    {OpEq, kCompare, kEq},
        {OpNe, kCompare, kNe},      {OpLt, kCompare, kLt},      {OpLe, kCompare, kLe},
        {OpGt, kCompare, kGt},      {OpGe, kCompare, kGe},
    };
    for (const auto& entry : operators) {
        if (entry.handler == handler) {
            kind = entry.kind;
            op = entry.op;
            return true;
        }
    }
    return false;
}

// The quick op of a numeric function that pops a fixed number of arguments,
// leaves nothing but its result and never stops the run (other than through
// an argument that is not a number, which the loads' checks leave to it).
bool FunctionOf(Handler handler, uint8_t& kind, uint8_t& function) {
    const struct {
        Handler handler;
        uint8_t kind;
        uint8_t function;
    } functions[] = {
        {FuncSin, kUnaryFunction, static_cast<uint8_t>(UnaryFunction::kSin)},
        {FuncCos, kUnaryFunction, static_cast<uint8_t>(UnaryFunction::kCos)},
        {FuncTan, kUnaryFunction, static_cast<uint8_t>(UnaryFunction::kTan)},
        {FuncAsin, kUnaryFunction, static_cast<uint8_t>(UnaryFunction::kAsin)},
        {FuncAcos, kUnaryFunction, static_cast<uint8_t>(UnaryFunction::kAcos)},
        {FuncAtan, kUnaryFunction, static_cast<uint8_t>(UnaryFunction::kAtan)},
        {FuncHsin, kUnaryFunction, static_cast<uint8_t>(UnaryFunction::kHsin)},
        {FuncHcos, kUnaryFunction, static_cast<uint8_t>(UnaryFunction::kHcos)},
        {FuncHtan, kUnaryFunction, static_cast<uint8_t>(UnaryFunction::kHtan)},
        {FuncSqr, kUnaryFunction, static_cast<uint8_t>(UnaryFunction::kSqr)},
        {FuncAbs, kUnaryFunction, static_cast<uint8_t>(UnaryFunction::kAbs)},
        {FuncExp, kUnaryFunction, static_cast<uint8_t>(UnaryFunction::kExp)},
        {FuncLog, kUnaryFunction, static_cast<uint8_t>(UnaryFunction::kLog)},
        {FuncBlog, kUnaryFunction, static_cast<uint8_t>(UnaryFunction::kBlog)},
        {FuncInt, kUnaryFunction, static_cast<uint8_t>(UnaryFunction::kInt)},
        {FuncPow, kBinaryFunction, static_cast<uint8_t>(BinaryFunction::kPow)},
        {FuncMin, kBinaryFunction, static_cast<uint8_t>(BinaryFunction::kMin)},
        {FuncMax, kBinaryFunction, static_cast<uint8_t>(BinaryFunction::kMax)},
        {FuncRand, kRand, 0},
    };
    for (const auto& entry : functions) {
        if (entry.handler == handler) {
            kind = entry.kind;
            function = entry.function;
            return true;
        }
    }
    return false;
}

// The quick op of an assignment of `source` to `target`, when there is one
// that never stops the run.
// `from`: the TypeCode the source will have.
bool ChooseAssignment(Item* target, Item* source, TypeCode from, QuickOp& op) {
    if (!HasColourBlock(target) || !HasColourBlock(source)) return false;
    op.out = target;
    op.outType = target->typeCode;
    op.left = source;
    op.leftType = from;
    switch (target->typeCode) {
        case kTypeFloat:
            // A float reads as itself, a colour component as its byte.
            if (from != kTypeFloat && !IsRgbComponent(from) && !IsHbsMember(from)) return false;
            op.kind = kAssignFloat;
            return ChooseNumberLoad(from, op.leftLoad);
        case kTypeRgb:
        case kTypeHbs:
            if (from != target->typeCode) return false;
            op.kind = kAssignColour;
            return true;
        default:
            if (!IsRgbMember(target->typeCode) && !IsHbsMember(target->typeCode)) return false;
            op.kind = kAssignColourMember;
            return true;
    }
}

bool IsPixelCall(Handler handler) {
    return handler == FuncGetPixel || handler == StmtSetPixel || handler == FuncGetPixelVal ||
           handler == StmtSetPixelVal;
}

// Instructions that jump here start a stretch of their own.
std::vector<bool> JumpTargets(const Machine& m) {
    std::vector<bool> targets(m.EmitCount + 1, false);
    for (uint32_t pc = 0; pc < m.EmitCount; ++pc) {
        const Handler h = m.CodeTable[pc].handler;
        if (h != Jump && h != JumpIfTrue && h != JumpIfFalse) continue;
        // The loop adds one after the jump: the next instruction is number + 1.
        const uint64_t next = uint64_t{m.CodeTable[pc].number} + 1;
        if (next <= m.EmitCount) targets[next] = true;
    }
    return targets;
}

// Prepares the stretch that starts at `first`; returns where it ends (the
// first instruction not in it).
uint32_t PrepareStretch(Machine& m, uint32_t first, const std::vector<bool>& targets) {
    // The Items on the stack, and the TypeCode each will have when popped:
    // its own for a pushed operand, that of the result for a temporary the
    // stretch writes (which the plain handler would write too).
    std::vector<Item*> picture;
    std::vector<TypeCode> types;
    uint32_t pc = first;
    bool jumped = false;
    for (; pc < m.EmitCount && !jumped; ++pc) {
        if (pc > first && targets[pc]) break;
        const Instruction& in = m.CodeTable[pc];
        // IndexArray hands its element to the next instruction on every run.
        if (in.handler == IndexArray || (pc > 0 && m.CodeTable[pc - 1].handler == IndexArray))
            break;
        QuickOp op;
        op.picture = static_cast<uint32_t>(m.QuickPictures.size());
        op.depth = static_cast<uint16_t>(picture.size());
        uint8_t kind = 0;
        uint8_t code = 0;
        if (in.handler == PushOperand) {
            if (in.item == nullptr || picture.size() >= kDeepestPicture) break;
            op.kind = kPush;
        } else if (OperatorOf(in.handler, kind, code)) {
            if (picture.size() < 2 || in.item == nullptr || !HasColourBlock(in.item)) break;
            op.left = picture[picture.size() - 2];
            op.right = picture.back();
            op.leftType = types[types.size() - 2];
            op.rightType = types.back();
            if (!Readable(op.left, op.leftType) || !Readable(op.right, op.rightType)) break;
            if (!ChooseNumberLoad(op.leftType, op.leftLoad) ||
                !ChooseNumberLoad(op.rightType, op.rightLoad))
                break;
            op.kind = kind;
            op.op = code;
            op.out = in.item;
        } else if (FunctionOf(in.handler, kind, code)) {
            // The handler pops exactly this many: with fewer in the picture
            // it would pop Items from before the stretch, which are unknown.
            const size_t arguments = kind == kBinaryFunction ? 2 : 1;
            if (picture.size() < arguments || in.item == nullptr || !HasColourBlock(in.item)) break;
            const size_t at = picture.size() - arguments;
            op.left = picture[at];
            op.leftType = types[at];
            if (!Readable(op.left, op.leftType) || !ChooseNumberLoad(op.leftType, op.leftLoad))
                break;
            if (arguments == 2) {
                op.right = picture.back();
                op.rightType = types.back();
                if (!Readable(op.right, op.rightType) ||
                    !ChooseNumberLoad(op.rightType, op.rightLoad))
                    break;
            }
            op.kind = kind;
            op.op = code;
            op.out = in.item;
        } else if (in.handler == OpNot) {
            if (picture.empty() || in.item == nullptr || !HasColourBlock(in.item)) break;
            op.left = picture.back();
            op.leftType = types.back();
            if (!Readable(op.left, op.leftType)) break;
            if (!ChooseNumberLoad(op.leftType, op.leftLoad)) break;
            op.kind = kNot;
            op.out = in.item;
        } else if (in.handler == Assign) {
            if (picture.empty() || in.item == nullptr) break;
            if (!ChooseAssignment(in.item, picture.back(), types.back(), op)) break;
        } else if (IsPixelCall(in.handler)) {
            // GetPixel(image, x, y), SetPixel(image, x, y, colour), and the same
            // for stored values, with float coordinates.
            const bool isGet = in.handler == FuncGetPixel || in.handler == FuncGetPixelVal;
            const size_t arguments = isGet ? 3 : 4;
            if (picture.size() < arguments) break;
            const size_t at = picture.size() - arguments;
            Item* x = picture[at + 1];
            Item* y = picture[at + 2];
            if (types[at + 1] != kTypeFloat || types[at + 2] != kTypeFloat || !HasColourBlock(x) ||
                !HasColourBlock(y))
                break;
            if (isGet && (in.item == nullptr || !HasColourBlock(in.item))) break;
            op.image = picture[at];
            op.left = x;
            op.right = y;
            op.leftType = kTypeFloat;
            op.rightType = kTypeFloat;
            op.out = isGet ? in.item : picture.back();  // the colour or the value
            if (in.handler == FuncGetPixel) {
                op.kind = kGetPixel;
            } else if (in.handler == StmtSetPixel) {
                op.kind = kSetPixel;
            } else if (isGet) {
                op.kind = kGetPixelValue;
            } else {
                // The value is read as a number: `op` holds its load.
                op.outType = types.back();
                if (!Readable(op.out, op.outType) || !ChooseNumberLoad(op.outType, op.op)) break;
                op.kind = kSetPixelValue;
            }
        } else if (in.handler == Jump) {
            op.kind = kJump;
            jumped = true;
        } else if (in.handler == JumpIfTrue || in.handler == JumpIfFalse) {
            if (picture.empty() || picture.back()->value == nullptr ||
                picture.back()->size < sizeof(uint32_t))
                break;
            op.kind = in.handler == JumpIfTrue ? kJumpIfTrue : kJumpIfFalse;
            op.left = picture.back();
            jumped = true;
        } else {
            break;
        }
        m.QuickPictures.insert(m.QuickPictures.end(), picture.begin(), picture.end());
        // The picture after the instruction.
        switch (op.kind) {
            case kPush:
                picture.push_back(in.item);
                types.push_back(in.item->typeCode);
                break;
            case kArithmetic:
            case kInteger:
            case kCompare:
            case kBinaryFunction:
                picture.pop_back();
                types.pop_back();
                picture.back() = in.item;
                types.back() = kTypeFloat;
                break;
            case kNot:
            case kUnaryFunction:
            case kRand:
                picture.back() = in.item;
                types.back() = kTypeFloat;
                break;
            case kGetPixel:
            case kGetPixelValue:
                picture.resize(picture.size() - 2);
                types.resize(types.size() - 2);
                picture.back() = in.item;
                types.back() = op.kind == kGetPixel ? kTypeRgb : kTypeFloat;
                break;
            case kSetPixel:
            case kSetPixelValue:
                picture.resize(picture.size() - 4);
                types.resize(types.size() - 4);
                break;
            case kJump:
                break;
            default:  // assignments and conditional jumps pop one
                picture.pop_back();
                types.pop_back();
                break;
        }
        m.QuickTable[pc] = op;
    }
    const uint32_t end = pc;
    if (end == first) return first + 1;  // not quick: a stretch starts after it
    // Every instruction of the stretch can start a run that ends with it.
    const auto endPicture = static_cast<uint32_t>(m.QuickPictures.size());
    m.QuickPictures.insert(m.QuickPictures.end(), picture.begin(), picture.end());
    uint16_t deepest = static_cast<uint16_t>(picture.size());
    for (uint32_t k = end; k-- > first;) {
        QuickOp& op = m.QuickTable[k];
        // Pushes with nothing but pushes after them in the stretch are left to
        // the plain handler: a run of them alone costs more than it saves.
        if (op.kind == kPush && (k + 1 == end || m.QuickTable[k + 1].kind == kNotQuick))
            op.kind = kNotQuick;
        // A push does nothing but change the picture: a run steps over pushes
        // in a row at once.
        const bool pushFollows = k + 1 < end && m.QuickTable[k + 1].kind == kPush;
        op.skipTo = op.kind == kPush && pushFollows ? m.QuickTable[k + 1].skipTo : k + 1;
        op.runEnd = end;
        op.endPicture = endPicture;
        op.endDepth = static_cast<uint16_t>(picture.size());
        deepest = std::max<uint16_t>(deepest, static_cast<uint16_t>(op.depth + 1));
        op.deepest = deepest;
    }
    return end;
}

// The stack as the plain path leaves it with `depth` picture Items above `base`.
void LeaveStack(Machine& m, uint32_t base, uint32_t picture, uint16_t depth) {
    for (uint16_t k = 0; k < depth; ++k) m.OperandStack[base + k] = m.QuickPictures[picture + k];
    m.StackTop = base + depth;
}

inline bool Fits(const Item* item, TypeCode prepared) {
    return item->typeCode == prepared;
}

inline void StoreFloatResult(Item& result, double value) {
    result.typeCode = kTypeFloat;
    StoreFloatBytes(result.value, static_cast<float>(value));
}

}  // namespace

void PrepareQuickRuns(Machine& m) {
    m.QuickTable.fill({});
    m.QuickPictures.clear();
    const std::vector<bool> targets = JumpTargets(m);
    for (uint32_t pc = 0; pc < m.EmitCount;) pc = PrepareStretch(m, pc, targets);
}

uint32_t RunQuick(Machine& m, uint32_t budget) {
    const uint32_t start = m.ProgramCounter;
    const QuickOp& first = m.QuickTable[start];
    const uint32_t end = first.runEnd;
    if (end - start > budget || m.StackTop < first.depth) return 0;
    const uint32_t base = m.StackTop - first.depth;
    if (base + first.deepest > Machine::kOperandStackSize) return 0;
    uint32_t pc = start;
    for (; pc < end; ++pc) {
        const QuickOp& op = m.QuickTable[pc];
        switch (op.kind) {
            case kPush:
                pc = op.skipTo - 1;
                continue;
            case kArithmetic: {
                if (!Fits(op.right, op.rightType) || !Fits(op.left, op.leftType)) break;
                // The right operand is rounded to single precision, as the operators pop it.
                float right;
                double left;
                if (op.leftLoad == kLoadFloat && op.rightLoad == kLoadFloat) {
                    right = LoadFloatBytes(op.right->value);
                    left = LoadFloatBytes(op.left->value);
                } else {
                    right = static_cast<float>(LoadNumber(*op.right, op.rightLoad));
                    left = LoadNumber(*op.left, op.leftLoad);
                }
                StoreFloatResult(*op.out,
                                 ArithmeticValue(static_cast<Arithmetic>(op.op), left, right));
                continue;
            }
            case kInteger: {
                if (!Fits(op.right, op.rightType) || !Fits(op.left, op.leftType)) break;
                const uint32_t right = ToUint32(LoadNumber(*op.right, op.rightLoad));
                const uint32_t left = ToUint32(LoadNumber(*op.left, op.leftLoad));
                uint32_t value;
                if (op.op == kMod) {
                    if (right == 0) break;  // the plain handler stops the run
                    value = left % right;
                } else if (op.op == kAnd) {
                    value = left & right;
                } else if (op.op == kOr) {
                    value = left | right;
                } else {
                    value = left ^ right;
                }
                StoreFloatResult(*op.out, value);
                continue;
            }
            case kCompare: {
                if (!Fits(op.right, op.rightType) || !Fits(op.left, op.leftType)) break;
                const auto right = static_cast<float>(LoadNumber(*op.right, op.rightLoad));
                const double left = LoadNumber(*op.left, op.leftLoad);
                bool truth;
                switch (op.op) {
                    case kEq:
                        truth = left == right;
                        break;
                    case kNe:
                        truth = left != right;
                        break;
                    case kLt:
                        truth = left < right;
                        break;
                    case kLe:
                        truth = left <= right;
                        break;
                    case kGt:
                        truth = left > right;
                        break;
                    default:
                        truth = left >= right;
                        break;
                }
                StoreFloatResult(*op.out, truth ? 1.0 : 0.0);
                continue;
            }
            case kNot:
                if (!Fits(op.left, op.leftType)) break;
                StoreFloatResult(*op.out, LoadNumber(*op.left, op.leftLoad) == 0.0 ? 1.0 : 0.0);
                continue;
            case kUnaryFunction:
                if (!Fits(op.left, op.leftType)) break;
                StoreFloatResult(*op.out, UnaryFunctionValue(static_cast<UnaryFunction>(op.op),
                                                             LoadNumber(*op.left, op.leftLoad)));
                continue;
            case kBinaryFunction:
                if (!Fits(op.right, op.rightType) || !Fits(op.left, op.leftType)) break;
                StoreFloatResult(*op.out, BinaryFunctionValue(static_cast<BinaryFunction>(op.op),
                                                              LoadNumber(*op.left, op.leftLoad),
                                                              LoadNumber(*op.right, op.rightLoad)));
                continue;
            case kRand: {
                // Checked before the generator moves: on a failed check the
                // plain handler draws the sample.
                if (!Fits(op.left, op.leftType)) break;
                const uint32_t sample = NextRandSample(m.RandState);
                StoreFloatResult(*op.out, RandValue(LoadNumber(*op.left, op.leftLoad), sample));
                continue;
            }
            case kAssignFloat:
                if (!Fits(op.out, op.outType) || !Fits(op.left, op.leftType)) break;
                StoreFloatBytes(op.out->value,
                                static_cast<float>(LoadNumber(*op.left, op.leftLoad)));
                continue;
            case kAssignColourMember:
                if (!Fits(op.out, op.outType) || !Fits(op.left, op.leftType)) break;
                StoreColourMember(op.out->value, op.outType, ComponentValue(*op.left));
                continue;
            case kAssignColour:
                if (!Fits(op.out, op.outType) || !Fits(op.left, op.leftType)) break;
                std::memmove(op.out->value, op.left->value, kColourBytes);
                continue;
            case kGetPixel: {
                if (!Fits(op.left, kTypeFloat) || !Fits(op.right, kTypeFloat)) break;
                const int32_t y = ToInt32(LoadFloatBytes(op.right->value));
                const int32_t x = ToInt32(LoadFloatBytes(op.left->value));
                Image* image = OperandImage(op.image);
                uint32_t storedRow = 0;
                const uint8_t* p = TrueColourPixel(image, x, y, storedRow);
                StoreRgbResult(*op.out, p != nullptr ? ReadBgr(p) : PixelColourAt(image, x, y));
                continue;
            }
            case kSetPixel: {
                if (!Fits(op.left, kTypeFloat) || !Fits(op.right, kTypeFloat)) break;
                const RgbBytes colour = ColourOperandBytes(op.out);
                const int32_t y = ToInt32(LoadFloatBytes(op.right->value));
                const int32_t x = ToInt32(LoadFloatBytes(op.left->value));
                Image* image = OperandImage(op.image);
                uint32_t storedRow = 0;
                if (uint8_t* p = TrueColourPixel(image, x, y, storedRow)) {
                    image->MarkRowChanged(storedRow);
                    WriteBgr(p, colour);
                } else {
                    PutPixelColourAt(image, x, y, colour);
                }
                continue;
            }
            case kGetPixelValue: {
                if (!Fits(op.left, kTypeFloat) || !Fits(op.right, kTypeFloat)) break;
                const int32_t y = ToInt32(LoadFloatBytes(op.right->value));
                const int32_t x = ToInt32(LoadFloatBytes(op.left->value));
                StoreFloatResult(*op.out, PixelValueAt(OperandImage(op.image), x, y));
                continue;
            }
            case kSetPixelValue: {
                if (!Fits(op.out, op.outType) || !Fits(op.left, kTypeFloat) ||
                    !Fits(op.right, kTypeFloat))
                    break;
                const auto value = static_cast<uint32_t>(ToInt32(LoadNumber(*op.out, op.op)));
                const int32_t y = ToInt32(LoadFloatBytes(op.right->value));
                const int32_t x = ToInt32(LoadFloatBytes(op.left->value));
                PutPixelValueAt(OperandImage(op.image), x, y, value);
                continue;
            }
            case kJump:
                LeaveStack(m, base, op.endPicture, op.endDepth);
                m.ProgramCounter = m.CodeTable[pc].number;
                return pc + 1 - start;
            case kJumpIfTrue:
            case kJumpIfFalse: {
                const bool truth = IsTrueWord(op.left->value);
                LeaveStack(m, base, op.endPicture, op.endDepth);
                m.ProgramCounter = truth == (op.kind == kJumpIfTrue) ? m.CodeTable[pc].number : pc;
                return pc + 1 - start;
            }
            default:
                break;
        }
        break;  // a check failed: the plain handlers run this instruction
    }
    if (pc == start) return 0;
    if (pc == end) {
        LeaveStack(m, base, first.endPicture, first.endDepth);
    } else {
        LeaveStack(m, base, m.QuickTable[pc].picture, m.QuickTable[pc].depth);
    }
    m.ProgramCounter = pc - 1;
    return pc - start;
}

}  // namespace tarvil
