// Translating the CodeTable into quick code: units, their pictures and their
// operations. What cannot be translated is left to the plain handlers.
#include <algorithm>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/image_member.h"
#include "fast/quick_code.h"
#include "handlers/handlers.h"
#include "handlers/math_functions.h"

namespace tarvil::quick {

namespace {

// A picture holds at most this many Items; deeper expressions run plainly.
constexpr size_t kDeepestPicture = 64;

// Written into an Item by instructions of different result types, or by one
// whose result is not known here.
constexpr TypeCode kMixedType = 0xFF;

// The TypeCode a handler gives the result it writes into its operand Item.
// False for handlers that leave their operand's TypeCode alone.
bool ResultType(Handler h, TypeCode& type) {
    static const Handler floats[] = {
        OpAdd,       OpSub,    OpMul,    OpDiv,   OpMod,    OpAnd,    OpOr,
        OpXor,       OpEq,     OpNe,     OpLt,    OpLe,     OpGt,     OpGe,
        OpNot,       FuncSin,  FuncCos,  FuncTan, FuncAsin, FuncAcos, FuncAtan,
        FuncHsin,    FuncHcos, FuncHtan, FuncSqr, FuncAbs,  FuncExp,  FuncLog,
        FuncBlog,    FuncInt,  FuncPow,  FuncMin, FuncMax,  FuncRand, FuncGetPixelVal,
        StmtDspWhile};
    static const Handler untouched[] = {
        PushOperand,   Jump,         JumpIfTrue,      JumpIfFalse,    Assign,
        IndexArray,    StmtDspMes,   StmtDebug,       StmtReturn,     StmtExit,
        StmtSaveImage, StmtSetPixel, StmtSetPixelVal, StmtSetPalette, StmtPreview};
    if (std::find(std::begin(untouched), std::end(untouched), h) != std::end(untouched))
        return false;
    if (std::find(std::begin(floats), std::end(floats), h) != std::end(floats)) {
        type = kTypeFloat;
    } else if (h == FuncGetPixel || h == FuncGetPalette) {
        type = kTypeRgb;
    } else if (h == FuncFileFind || h == FuncGetFileName) {
        type = kTypeString;
    } else if (h == FuncCreateImage || h == FuncLoadImage) {
        type = kTypeImageResult;
    } else {
        type = kMixedType;  // a handler this file does not know
    }
    return true;
}

bool HasWordBlock(const Item* item) {
    return item != nullptr && item->value != nullptr && item->size >= sizeof(uint32_t);
}

bool IsComponent(TypeCode type) {
    return IsRgbComponent(type) || (type >= kMemberHue && type <= kMemberSat);
}

// What ItemNumber reads without an error.
bool IsNumber(TypeCode type) {
    switch (type) {
        case kTypeFloat:
        case kTypeRgb:
        case kMemberHeight:
        case kMemberWidth:
        case kMemberRes:
        case kMemberBitCount:
        case kMemberClrImp:
        case kMemberLum:
            return true;
        default:
            return IsComponent(type);
    }
}

bool IsColourMember(TypeCode type) {
    return type == kMemberLum || IsRgbMember(type) || IsHbsMember(type);
}

struct Arithmetic {
    Handler handler;
    uint16_t form;  // the FF form; FB, BF, BB and Any follow it
};

const Arithmetic kBinaryForms[] = {
    {OpAdd, kAddFF}, {OpSub, kSubFF}, {OpMul, kMulFF}, {OpDiv, kDivFF}, {OpEq, kEqFF},
    {OpNe, kNeFF},   {OpLt, kLtFF},   {OpLe, kLeFF},   {OpGt, kGtFF},   {OpGe, kGeFF},
};

const struct {
    Handler handler;
    uint16_t code;
} kIntegerForms[] = {{OpMod, kModAny}, {OpAnd, kAndAny}, {OpOr, kOrAny}, {OpXor, kXorAny}};

const struct {
    Handler handler;
    UnaryFunction function;
} kUnaryFunctions[] = {
    {FuncSin, UnaryFunction::kSin},   {FuncCos, UnaryFunction::kCos},
    {FuncTan, UnaryFunction::kTan},   {FuncAsin, UnaryFunction::kAsin},
    {FuncAcos, UnaryFunction::kAcos}, {FuncAtan, UnaryFunction::kAtan},
    {FuncHsin, UnaryFunction::kHsin}, {FuncHcos, UnaryFunction::kHcos},
    {FuncHtan, UnaryFunction::kHtan}, {FuncSqr, UnaryFunction::kSqr},
    {FuncAbs, UnaryFunction::kAbs},   {FuncExp, UnaryFunction::kExp},
    {FuncLog, UnaryFunction::kLog},   {FuncBlog, UnaryFunction::kBlog},
    {FuncInt, UnaryFunction::kInt},
};

const struct {
    Handler handler;
    BinaryFunction function;
} kBinaryFunctions[] = {{FuncPow, BinaryFunction::kPow},
                        {FuncMin, BinaryFunction::kMin},
                        {FuncMax, BinaryFunction::kMax}};

// Functions whose results are worth remembering: all but the ones that cost
// no more than the look-up.
bool TakesItsTime(UnaryFunction f) {
    return f != UnaryFunction::kSqr && f != UnaryFunction::kAbs && f != UnaryFunction::kInt;
}

// The comparison of a comparison form (its FF form's distance from kEqFF).
Comparison ComparisonOf(uint16_t form) {
    return static_cast<Comparison>((form - kEqFF) / (kNeFF - kEqFF));
}

// The operations that store a pixel's value read as `kind` says.
bool IsPixelValueStore(uint16_t code) {
    return code == kSetPixelValFF || code == kSetPixelValAny || code == kSetPixelValSum;
}

class Translator {
public:
    explicit Translator(Machine& m, QuickCode& q) : m_(m), q_(q) {}

    void Translate() {
        FindJumpTargets();
        FindResultTypes();
        uint32_t pc = 0;
        while (pc < m_.EmitCount) {
            if (open_ && targets_[pc]) CloseWithJumpTo(pc);
            if (!open_) {
                // An IndexArray's element is handed to the next instruction
                // only: no unit starts there.
                if (pc > 0 && m_.CodeTable[pc - 1].handler == IndexArray) {
                    ++pc;
                    continue;
                }
                Open(pc);
            }
            if (picture_.empty()) pendingEntries_.push_back(pc);
            jumped_ = false;
            const uint32_t done = TranslateAt(pc);
            if (done == 0) {
                CloseWithExit(pc);
                ++pc;
                continue;
            }
            pc += done;
            if (jumped_) Close(pc);
        }
        if (open_) CloseWithExit(pc);
        ResolveJumps();
    }

private:
    struct Entry {
        Item* item = nullptr;
        uint32_t redirected = 0;  // 1 + the instruction whose operand IndexArray set
        TypeCode type = 0;
        uint32_t window = 0;  // 1 + the window IndexArray's operation handed on
    };

    // --- Facts about the whole code ---

    void FindJumpTargets() {
        targets_.assign(m_.EmitCount + 1, false);
        for (uint32_t pc = 0; pc < m_.EmitCount; ++pc) {
            const Handler h = m_.CodeTable[pc].handler;
            if (h != Jump && h != JumpIfTrue && h != JumpIfFalse) continue;
            // The loop adds one after the jump: the next instruction is number + 1.
            const uint64_t next = uint64_t{m_.CodeTable[pc].number} + 1;
            if (next <= m_.EmitCount) targets_[next] = true;
        }
    }

    // Items that instructions write results into, with the TypeCode they
    // leave; an IndexArray whose element goes to anything but a push or an
    // assignment may have any instruction write its elements.
    void FindResultTypes() {
        for (uint32_t pc = 0; pc < m_.EmitCount; ++pc) {
            const Instruction& in = m_.CodeTable[pc];
            TypeCode type = 0;
            if (in.handler == IndexArray) {
                const Handler user = pc + 1 < m_.EmitCount ? m_.CodeTable[pc + 1].handler : nullptr;
                if (user != PushOperand && user != Assign && in.item != nullptr)
                    resultTypes_[in.item] = kMixedType;
                continue;
            }
            if (in.item == nullptr || !ResultType(in.handler, type)) continue;
            auto [at, added] = resultTypes_.emplace(in.item, type);
            if (!added && at->second != type) at->second = kMixedType;
        }
    }

    // The Item keeps its TypeCode through the run: nothing writes another into it.
    bool Keeps(const Item* item) const {
        const auto at = resultTypes_.find(item);
        return at == resultTypes_.end() || at->second == item->typeCode;
    }

    // --- Units ---

    void Open(uint32_t pc) {
        open_ = true;
        producedAt_ = UINT32_MAX;
        unitSegments_ = static_cast<uint32_t>(q_.segments.size());
        unitStart_ = pc;
        unitFirstOp_ = static_cast<uint32_t>(q_.ops.size());
        picture_.clear();
        unitExits_.clear();
        pendingEntries_.clear();
        windowUser_ = UINT32_MAX;
    }

    // The ExitPoint before instruction `pc` with the current picture.
    uint32_t ExitHere(uint32_t pc) {
        ExitPoint exit;
        exit.pc = pc;
        exit.picture = static_cast<uint32_t>(q_.pictures.size());
        exit.depth = static_cast<uint32_t>(picture_.size());
        exit.window = WindowFor(pc);
        for (const Entry& e : picture_) q_.pictures.push_back({e.item, e.redirected, e.window});
        q_.deepest = std::max(q_.deepest, exit.depth);
        unitExits_.push_back(static_cast<uint32_t>(q_.exits.size()));
        q_.exits.push_back(exit);
        return unitExits_.back();
    }

    Op& Emit(uint16_t code, uint32_t pc) {
        Op op;
        op.code = code;
        op.exit = ExitHere(pc);
        const auto index = static_cast<uint32_t>(q_.ops.size());
        // Runs may start at the instructions where the picture was empty.
        // (An entry straight into an exit would run nothing worth a run.)
        if (code != kExit) {
            for (const uint32_t entry : pendingEntries_) {
                q_.entries[entry] = index + 1;
                if (entry != unitStart_) q_.segments.push_back({entry, index});
            }
        }
        pendingEntries_.clear();
        q_.ops.push_back(op);
        return q_.ops.back();
    }

    void Close(uint32_t endPc) {
        for (const uint32_t exit : unitExits_) q_.exits[exit].unitEnd = endPc;
        Unit unit{unitFirstOp_,
                  unitStart_,
                  endPc,
                  endPc - unitStart_,
                  nullptr,
                  unitSegments_,
                  static_cast<uint32_t>(q_.segments.size())};
        q_.units.push_back(unit);
        unitAt_[unitStart_] = static_cast<uint32_t>(q_.units.size() - 1);
        open_ = false;
    }

    void CloseWithExit(uint32_t pc) {
        if (pc == unitStart_) {
            // Nothing of the unit is quick: it is no unit.
            q_.ops.resize(unitFirstOp_);
            q_.segments.resize(unitSegments_);
            open_ = false;
            return;
        }
        Emit(kExit, pc);
        Close(pc);
    }

    // The unit runs on into the one starting at `pc`.
    void CloseWithJumpTo(uint32_t pc) {
        if (!picture_.empty()) return CloseWithExit(pc);
        Op& op = Emit(kJump, pc);
        op.target = pc;
        jumpOps_.push_back(static_cast<uint32_t>(q_.ops.size() - 1));
        Close(pc);
    }

    // Jumps name instructions until every unit is known; then the units,
    // and every operation its code.
    void ResolveJumps() {
        for (const uint32_t index : jumpOps_) {
            Op& op = q_.ops[index];
            op.target = UnitAt(op.target);
            if (op.code != kJump) op.next = UnitAt(op.next);
        }
        for (Unit& unit : q_.units)
            if (unit.firstOp != kNoOp) unit.first = &q_.ops[unit.firstOp];
        for (const uint32_t index : jumpOps_) {
            Op& op = q_.ops[index];
            op.taken = &q_.units[op.target];
            if (op.code != kJump) op.onward = &q_.units[op.next];
        }
        for (Op& op : q_.ops)
            if (op.out != nullptr) op.result = op.out->value;
        HandOnResults();
        const void* const* labels = QuickCodeLabels();
        for (Op& op : q_.ops) op.label = labels[op.code];
    }

    // An operation that reads the float the one before it just stored reads
    // it from the register holding it instead. Not the first operation of a
    // unit, which a jump reaches from elsewhere; one where a run can start
    // finds it in the bytes when the run starts there.
    void HandOnResults() {
        std::vector<bool> first(q_.ops.size(), false);
        for (const Unit& unit : q_.units)
            if (unit.firstOp != kNoOp) first[unit.firstOp] = true;
        for (size_t k = 1; k < q_.ops.size(); ++k) {
            const Op& before = q_.ops[k - 1];
            if (first[k] || !HoldsItsResult(before.code) || before.result == nullptr) continue;
            HandOn(q_.ops[k], before.result);
        }
    }

    static void HandOn(Op& op, const std::byte* held) {
        const auto isHeld = [held](const Operand& o, uint8_t load) {
            return load == kLoadFloat && o.bytes == held;
        };
        const bool a = isHeld(op.a, op.loadA);
        const bool b = isHeld(op.b, op.loadB);
        if (const uint16_t ff = FloatFamilyOf(op.code); op.code == ff && (a || b)) {
            op.code = static_cast<uint16_t>(ff + (a ? kAddRF - kAddFF : kAddFR - kAddFF));
        } else if ((op.code == kMinFF || op.code == kMaxFF) && a) {
            op.code = op.code == kMinFF ? kMinRF : kMaxRF;
        } else if (op.code == kAssignFloatF || op.code == kAssignComponentF ||
                   op.code == kAssignLumF) {
            if (op.a.bytes != held) return;
            op.code = op.code == kAssignFloatF       ? kAssignFloatR
                      : op.code == kAssignComponentF ? kAssignComponentR
                                                     : kAssignLumR;
        } else if ((op.code == kIndexF || op.code == kIndexPackedF) && a) {
            op.code = op.code == kIndexF ? kIndexR : kIndexPackedR;
        } else if (ReadsAnyLoad(op.code)) {
            if (a) op.loadA = kLoadHeld;
            if (b) op.loadB = kLoadHeld;
            const bool d = IsPixelValueStore(op.code) && isHeld(op.d, op.kind);
            if (d) op.kind = kLoadHeld;
            if (!a && !b && !d) return;
        } else {
            return;
        }
        op.heldFrom = held;
    }

    // The FF form of the binary family `code` is in, or kCodeCount.
    static uint16_t FloatFamilyOf(uint16_t code) {
        for (const Arithmetic& form : kBinaryForms)
            if (code >= form.form && code <= form.form + (kAddAny - kAddFF)) return form.form;
        if (code >= kCompareJumpFF && code <= kCompareJumpAny) return kCompareJumpFF;
        return kCodeCount;
    }

    // The operations that read their operands as `loadA`, `loadB` (and a
    // stored pixel value as `kind`) say.
    static bool ReadsAnyLoad(uint16_t code) {
        if (const uint16_t ff = FloatFamilyOf(code); ff != kCodeCount)
            return code == ff + (kAddAny - kAddFF);
        switch (code) {
            case kModAny:
            case kAndAny:
            case kOrAny:
            case kXorAny:
            case kNotAny:
            case kUnaryAny:
            case kBinaryFnAny:
            case kUnaryRemembered:
            case kBinaryFnRemembered:
            case kRandAny:
            case kIndexAny:
            case kIndexPackedAny:
            case kGetPixelAny:
            case kSetPixelAny:
            case kGetPixelValAny:
            case kGetPaletteAny:
            case kSetPaletteAny:
                return true;
            default:
                return IsPixelValueStore(code);
        }
    }

    // The unit starting at `pc`; one without operations where none starts there.
    uint32_t UnitAt(uint32_t pc) {
        const auto at = unitAt_.find(pc);
        if (at != unitAt_.end()) return at->second;
        q_.units.push_back({kNoOp, pc, pc, 0, nullptr, 0, 0});
        unitAt_[pc] = static_cast<uint32_t>(q_.units.size() - 1);
        return unitAt_[pc];
    }

    // --- The picture and operands ---

    Item* const* SlotOf(const Entry& e) {
        if (e.redirected != 0) return &m_.CodeTable[e.redirected - 1].item;
        q_.itemSlots.push_back(e.item);
        return &q_.itemSlots.back();
    }

    // A numeric operand: false when ItemNumber would not read it without an error.
    bool Number(const Entry& e, Operand& operand, uint8_t& load) {
        if (!IsNumber(e.type)) return false;
        if (e.redirected != 0) {
            const bool floats = e.type == kTypeFloat && HasWordBlock(e.item);
            load = floats ? kLoadElement : kLoadItem;
            operand.slot = SlotOf(e);
        } else if (e.type == kTypeFloat && HasWordBlock(e.item)) {
            load = kLoadFloat;
            operand.bytes = e.item->value;
        } else if (IsComponent(e.type) && HasWordBlock(e.item)) {
            load = kLoadByte;
            operand.bytes = e.item->value + ComponentOffset(e.type);
        } else if (e.type == kMemberLum && HasWordBlock(e.item)) {
            load = kLoadLum;
            operand.bytes = e.item->value;
        } else if (IsNumberImageMember(e.type)) {
            load = kLoadMember;
            operand.item = e.item;
        } else {
            load = kLoadItem;
            operand.slot = SlotOf(e);
        }
        return true;
    }

    // The form among FF, FB, BF, BB, EF, FE and Any for two loads.
    static uint16_t FormFor(uint16_t ff, uint8_t loadA, uint8_t loadB) {
        const auto simple = [](uint8_t load) { return load == kLoadFloat || load == kLoadByte; };
        if (loadA == kLoadElement && loadB == kLoadFloat) return ff + (kAddEF - kAddFF);
        if (loadA == kLoadFloat && loadB == kLoadElement) return ff + (kAddFE - kAddFF);
        if (loadA == kLoadLum && loadB == kLoadFloat) return ff + (kAddLF - kAddFF);
        if (loadA == kLoadMember && loadB == kLoadFloat) return ff + (kAddMF - kAddFF);
        if (!simple(loadA) || !simple(loadB)) return ff + (kAddAny - kAddFF);
        return static_cast<uint16_t>(ff + (loadA == kLoadByte ? 2 : 0) +
                                     (loadB == kLoadByte ? 1 : 0));
    }

    // The result temporary of the instruction at `pc`, or null. A float
    // result goes only where the Item is a float and stays one (temporaries
    // are made as floats): the operation then writes the value alone.
    Item* ResultOf(uint32_t pc, TypeCode type = kTypeFloat) const {
        Item* out = m_.CodeTable[pc].item;
        if (!HasWordBlock(out)) return nullptr;
        if (type == kTypeFloat && (out->typeCode != kTypeFloat || !Keeps(out))) return nullptr;
        return out;
    }

    // The operation just emitted for the instruction at `pc` left its result
    // in `out`, of TypeCode `type`.
    void Produce(uint32_t pc, Item* out, TypeCode type) {
        picture_.push_back({out, 0, type});
        producedAt_ = pc;
        producedOp_ = static_cast<uint32_t>(q_.ops.size() - 1);
    }

    // target = the result of the operation just before: that operation
    // writes the target itself, as the assignment would have copied it (a
    // float into a float, an RGB colour into an RGB variable). The temporary
    // is then not written; nothing reads it after the assignment.
    bool AssignsTheResult(uint32_t pc, Item* target, const Entry& source) {
        if (producedAt_ + 1 != pc || producedOp_ + 1 != q_.ops.size() ||
            q_.ops.size() <= unitFirstOp_)
            return false;
        Op& producer = q_.ops.back();
        if (source.item != producer.out || source.redirected != 0 || RedirectedByIndex(pc))
            return false;
        if (!HasWordBlock(target) || target->typeCode != source.type) return false;
        if (source.type != kTypeFloat && source.type != kTypeRgb) return false;
        producer.out = target;
        picture_.pop_back();
        return true;
    }

    // --- Instructions ---

    uint32_t TranslateAt(uint32_t pc) {
        const Handler h = m_.CodeTable[pc].handler;
        if (h == PushOperand) return TranslatePush(pc);
        if (h == IndexArray) return TranslateIndex(pc);
        if (h == Assign) return TranslateAssign(pc);
        if (h == Jump || h == JumpIfTrue || h == JumpIfFalse) return TranslateJump(pc);
        for (const Arithmetic& form : kBinaryForms)
            if (form.handler == h) return TranslateBinary(pc, form.form);
        for (const auto& form : kIntegerForms)
            if (form.handler == h) return TranslateOperation(pc, form.code, 2, 0);
        for (const auto& f : kUnaryFunctions)
            if (f.handler == h)
                return TranslateOperation(pc,
                                          TakesItsTime(f.function) ? kUnaryRemembered : kUnaryAny,
                                          1, static_cast<uint8_t>(f.function));
        for (const auto& f : kBinaryFunctions)
            if (f.handler == h)
                return TranslateOperation(
                    pc, f.function == BinaryFunction::kPow ? kBinaryFnRemembered : kBinaryFnAny, 2,
                    static_cast<uint8_t>(f.function));
        if (h == OpNot) return TranslateOperation(pc, kNotAny, 1, 0);
        if (h == FuncRand) return TranslateOperation(pc, kRandAny, 1, 0);
        if (h == FuncGetPixel || h == FuncGetPixelVal || h == StmtSetPixel || h == StmtSetPixelVal)
            return TranslatePixel(pc, h);
        if (h == FuncGetPalette || h == StmtSetPalette) return TranslatePalette(pc, h);
        return 0;
    }

    bool RedirectedByIndex(uint32_t pc) const {
        return pc > 0 && m_.CodeTable[pc - 1].handler == IndexArray;
    }

    uint32_t TranslatePush(uint32_t pc) {
        Item* item = m_.CodeTable[pc].item;
        if (item == nullptr || picture_.size() >= kDeepestPicture || !Keeps(item)) return 0;
        const bool redirected = RedirectedByIndex(pc);
        picture_.push_back(
            {item, redirected ? pc + 1 : 0, item->typeCode, redirected ? WindowFor(pc) : 0});
        return 1;
    }

    // 1 + the window the IndexArray just translated hands to instruction `pc`, or 0.
    uint32_t WindowFor(uint32_t pc) const { return windowUser_ == pc ? windowNumber_ : 0; }

    // IndexArray with the element in the array's table; its user (a push or
    // an assignment, the next instruction) is in the same unit.
    uint32_t TranslateIndex(uint32_t pc) {
        const Instruction& in = m_.CodeTable[pc];
        if (pc + 1 >= m_.EmitCount || targets_[pc + 1] || in.item == nullptr) return 0;
        const Handler user = m_.CodeTable[pc + 1].handler;
        if ((user != PushOperand && user != Assign) || !Keeps(in.item)) return 0;
        DeclaredArray* array = m_.Arrays.ByNumber(in.number);
        if (array == nullptr || array->first != in.item || !in.item->name) return 0;
        Operand operand;
        uint8_t load = 0;
        if (picture_.empty() || !Number(picture_.back(), operand, load)) return 0;
        const bool floatIndex = load == kLoadFloat;
        Op& op = array->Packed() ? Emit(floatIndex ? kIndexPackedF : kIndexPackedAny, pc)
                                 : Emit(floatIndex ? kIndexF : kIndexAny, pc);
        picture_.pop_back();
        op.a = operand;
        op.loadA = load;
        op.out = in.item;
        op.target = pc + 1;
        if (!array->Packed()) {
            op.c.elements = &array->items;
            return 1;
        }
        ElementWindow& window = q_.windows.emplace_back();
        window.item.typeCode = array->typeCode;
        window.item.size = array->elementSize;
        window.item.value = array->BytesOf(0);
        window.item.name = in.item->name;
        window.array = array;
        window.user = pc + 1;
        op.c.window = &window;
        windowUser_ = pc + 1;
        windowNumber_ = static_cast<uint32_t>(q_.windows.size());
        return 1;
    }

    uint32_t TranslateBinary(uint32_t pc, uint16_t ff) {
        Item* out = ResultOf(pc);
        if (out == nullptr || picture_.size() < 2) return 0;
        const size_t at = picture_.size() - 2;
        Op op;
        if (!Number(picture_[at], op.a, op.loadA) || !Number(picture_[at + 1], op.b, op.loadB))
            return 0;
        const uint16_t form = FormFor(ff, op.loadA, op.loadB);
        // A comparison that is a condition, alone on the stack, and its jump.
        const Handler next = pc + 1 < m_.EmitCount ? m_.CodeTable[pc + 1].handler : nullptr;
        if (ff >= kEqFF && at == 0 && !targets_[pc + 1] &&
            (next == JumpIfTrue || next == JumpIfFalse)) {
            Op& jump = Emit(kCompareJumpFF + (form - ff), pc);
            picture_.clear();
            CopyOperands(op, jump);
            jump.kind = ComparisonOf(ff);
            jump.sense = next == JumpIfTrue ? 1 : 0;
            Branch(jump, pc + 1);
            return 2;
        }
        if (ff == kAddFF && at == 0 && IsForNext(pc)) return TranslateForNext(pc);
        Op& emitted = Emit(form, pc);
        picture_.resize(at);
        CopyOperands(op, emitted);
        emitted.out = out;
        Produce(pc, out, kTypeFloat);
        return 1;
    }

    static void CopyOperands(const Op& from, Op& to) {
        to.a = from.a;
        to.b = from.b;
        to.loadA = from.loadA;
        to.loadB = from.loadB;
    }

    // The conditional jump at `pc` goes to its target or on to pc + 1.
    void Branch(Op& op, uint32_t pc) {
        op.target = m_.CodeTable[pc].number + 1;
        op.next = pc + 1;
        jumpOps_.push_back(static_cast<uint32_t>(q_.ops.size() - 1));
        jumped_ = true;
    }

    // NEXT: PushOperand step, v; OpAdd v; PushOperand limit; OpLe t; JumpIfTrue,
    // on floats that stay floats, alone on the stack (the picture holds step and v).
    bool IsForNext(uint32_t pc) const {
        if (pc + 3 >= m_.EmitCount || targets_[pc + 1] || targets_[pc + 2] || targets_[pc + 3])
            return false;
        const Instruction* code = &m_.CodeTable[pc];
        const auto isFloat = [this](const Entry& e) {
            return e.redirected == 0 && e.type == kTypeFloat && HasWordBlock(e.item) &&
                   Keeps(e.item);
        };
        if (picture_.size() != 2 || !isFloat(picture_[0]) || !isFloat(picture_[1])) return false;
        if (code[0].item != picture_[1].item || code[1].handler != PushOperand ||
            code[2].handler != OpLe || code[3].handler != JumpIfTrue || code[1].item == nullptr)
            return false;
        return isFloat({code[1].item, 0, code[1].item->typeCode}) && HasWordBlock(code[2].item);
    }

    uint32_t TranslateForNext(uint32_t pc) {
        const Item* step = picture_[0].item;
        const Item* variable = picture_[1].item;
        Op& op = Emit(kForNext, pc);
        picture_.clear();
        op.a.bytes = step->value;
        op.b.bytes = variable->value;
        op.c.bytes = m_.CodeTable[pc + 1].item->value;
        Branch(op, pc + 3);
        return 4;
    }

    // An operation of `count` numeric operands into a float temporary.
    uint32_t TranslateOperation(uint32_t pc, uint16_t code, size_t count, uint8_t kind) {
        Item* out = ResultOf(pc);
        if (out == nullptr || picture_.size() < count) return 0;
        Op op;
        const size_t at = picture_.size() - count;
        if (!Number(picture_[at], op.a, op.loadA)) return 0;
        if (count == 2 && !Number(picture_[at + 1], op.b, op.loadB)) return 0;
        // Two floats: the forms that read them straight.
        if (count == 2 && op.loadA == kLoadFloat && op.loadB == kLoadFloat) {
            if (code == kModAny) code = kModFF;
            if (code == kBinaryFnAny && kind == static_cast<uint8_t>(BinaryFunction::kMin))
                code = kMinFF;
            if (code == kBinaryFnAny && kind == static_cast<uint8_t>(BinaryFunction::kMax))
                code = kMaxFF;
        }
        Op& emitted = Emit(code, pc);
        picture_.resize(at);
        CopyOperands(op, emitted);
        emitted.kind = kind;
        emitted.out = out;
        if (code == kUnaryRemembered || code == kBinaryFnRemembered) {
            emitted.memory = &q_.memories.emplace_back();
        }
        Produce(pc, out, kTypeFloat);
        return 1;
    }

    uint32_t TranslateAssign(uint32_t pc) {
        Item* target = m_.CodeTable[pc].item;
        if (target == nullptr || picture_.empty() || !Keeps(target)) return 0;
        const Entry source = picture_.back();
        const Entry to{target, RedirectedByIndex(pc) ? pc + 1 : 0, target->typeCode};
        if (!AssignmentNeverStops(to.type, source.type)) return 0;
        if (AssignsTheResult(pc, target, source)) return 1;
        const bool direct = to.redirected == 0 && source.redirected == 0 && HasWordBlock(target) &&
                            HasWordBlock(source.item);
        uint16_t code = kAssignAny;
        if (direct && to.type == kTypeFloat && source.type == kTypeFloat) {
            code = kAssignFloatF;
        } else if (direct && to.type == kTypeFloat && IsComponent(source.type)) {
            code = kAssignFloatB;
        } else if (direct && IsColourMember(to.type) && source.type == kTypeFloat) {
            code = to.type == kMemberLum ? kAssignLumF : kAssignComponentF;
        } else if (direct && IsColourMember(to.type) && IsComponent(source.type)) {
            code = to.type == kMemberLum ? kAssignLumB : kAssignComponentB;
        } else if (direct && to.type == source.type &&
                   (to.type == kTypeRgb || to.type == kTypeHbs)) {
            code = kAssignColour;
        } else if (direct && to.type == kTypeRgb && source.type == kTypeHbs) {
            code = kAssignRgbFromHbs;
        } else if (direct && to.type == kTypeHbs && source.type == kTypeRgb) {
            code = kAssignHbsFromRgb;
        }
        const bool floats = to.type == kTypeFloat && source.type == kTypeFloat &&
                            HasWordBlock(target) && HasWordBlock(source.item);
        if (floats && to.redirected != 0 && source.redirected == 0) code = kAssignToElement;
        if (floats && to.redirected == 0 && source.redirected != 0) code = kAssignFromElement;
        Op& op = Emit(code, pc);
        picture_.pop_back();
        op.kind = to.type;
        if (code == kAssignToElement) {
            op.a.bytes = source.item->value;
            op.b.slot = SlotOf(to);
        } else if (code == kAssignFromElement) {
            op.a.slot = SlotOf(source);
            op.b.bytes = target->value;
        } else if (code == kAssignAny) {
            op.a.slot = SlotOf(source);
            op.b.slot = SlotOf(to);
        } else {
            const bool fromComponent =
                code == kAssignFloatB || code == kAssignComponentB || code == kAssignLumB;
            op.a.bytes = source.item->value + (fromComponent ? ComponentOffset(source.type) : 0);
            op.b.bytes = target->value;
        }
        if (code == kAssignComponentF || code == kAssignComponentB || code == kAssignLumF ||
            code == kAssignLumB) {
            if (code == kAssignComponentF || code == kAssignComponentB)
                op.b.bytes += ComponentOffset(to.type);
            op.c.bytes = ClearsFourthByte(to.type) ? target->value + 3 : q_.scratch;
        }
        return 1;
    }

    uint32_t TranslateJump(uint32_t pc) {
        const Instruction& in = m_.CodeTable[pc];
        if (in.handler == Jump) {
            if (!picture_.empty()) return 0;
            Op& op = Emit(kJump, pc);
            op.target = in.number + 1;
            jumpOps_.push_back(static_cast<uint32_t>(q_.ops.size() - 1));
            jumped_ = true;
            return 1;
        }
        if (picture_.size() != 1) return 0;
        const Entry condition = picture_.back();
        const bool direct = condition.redirected == 0 && HasWordBlock(condition.item);
        if (!direct && !(condition.redirected != 0 && HasWordBlock(condition.item))) return 0;
        Op& op = Emit(direct ? kJumpIfBytes : kJumpIfSlot, pc);
        picture_.clear();
        if (direct) {
            op.a.bytes = condition.item->value;
        } else {
            op.a.slot = SlotOf(condition);
        }
        op.sense = in.handler == JumpIfTrue ? 1 : 0;
        Branch(op, pc);
        return 1;
    }

    // The image operand of a pixel or colour-table call: an image variable.
    static bool IsImageOperand(const Entry& e) { return e.redirected == 0 && HoldsImage(e.type); }

    // GetPixel(image, x, y), SetPixel(image, x, y, colour), and the same for
    // stored values, on an image variable or result.
    uint32_t TranslatePixel(uint32_t pc, Handler h) {
        const bool get = h == FuncGetPixel || h == FuncGetPixelVal;
        const size_t count = get ? 3 : 4;
        if (picture_.size() < count) return 0;
        const size_t at = picture_.size() - count;
        const Entry& image = picture_[at];
        if (!IsImageOperand(image)) return 0;
        Op op;
        if (!Number(picture_[at + 1], op.a, op.loadA) || !Number(picture_[at + 2], op.b, op.loadB))
            return 0;
        Item* out = get ? ResultOf(pc, h == FuncGetPixel ? kTypeRgb : kTypeFloat) : nullptr;
        if (get && out == nullptr) return 0;
        const bool floats = op.loadA == kLoadFloat && op.loadB == kLoadFloat;
        Item* const imageItem = image.item;
        if (const Folded folded = FoldSums(h, at); folded.code != 0) {
            Op& emitted = Emit(folded.code, pc);
            picture_.resize(at);
            emitted.sums = folded.sums;
            emitted.d = folded.value;
            emitted.kind = folded.load;
            FinishPixel(emitted, h, pc, imageItem, out);
            return 1;
        }
        uint16_t code = 0;
        if (h == FuncGetPixel) {
            code = floats ? kGetPixelFF : kGetPixelAny;
        } else if (h == FuncGetPixelVal) {
            code = floats ? kGetPixelValFF : kGetPixelValAny;
        } else {
            const Entry& value = picture_[at + 3];
            if (h == StmtSetPixel) {
                // The colour: its bytes straight, or any Item through its slot.
                const bool plain = value.redirected == 0 && HasWordBlock(value.item);
                code = floats && plain ? kSetPixelFF : kSetPixelAny;
                if (code == kSetPixelFF) {
                    op.d.bytes = value.item->value;
                } else {
                    op.d.slot = SlotOf(value);
                }
            } else {
                // The stored value: a number read the way its load (`kind`) says.
                if (!Number(value, op.d, op.kind)) return 0;
                code = floats ? kSetPixelValFF : kSetPixelValAny;
            }
        }
        Op& emitted = Emit(code, pc);
        picture_.resize(at);
        CopyOperands(op, emitted);
        emitted.d = op.d;
        emitted.kind = op.kind;
        FinishPixel(emitted, h, pc, imageItem, out);
        return 1;
    }

    void FinishPixel(Op& emitted, Handler h, uint32_t pc, Item* image, Item* out) {
        emitted.c.item = image;
        emitted.out = out;
        emitted.view = &q_.views.emplace_back();
        if (out != nullptr) Produce(pc, out, h == FuncGetPixel ? kTypeRgb : kTypeFloat);
    }

    // The + or - of two floats among the last operations (`fromEnd` of them
    // after it) whose temporary is `e`, taken as a coordinate.
    bool SumAtEnd(const Entry& e, size_t fromEnd, CoordinateSum& sum) const {
        if (e.redirected != 0 || q_.ops.size() < unitFirstOp_ + fromEnd + 1) return false;
        const Op& producer = q_.ops[q_.ops.size() - 1 - fromEnd];
        if ((producer.code != kAddFF && producer.code != kSubFF) || producer.out != e.item)
            return false;
        // Its own temporary, not a variable an assignment had it write.
        if (m_.CodeTable[q_.exits[producer.exit].pc].item != producer.out) return false;
        sum = {producer.a.bytes, producer.b.bytes,
               producer.code == kSubFF ? tarvil::Arithmetic::kSub : tarvil::Arithmetic::kAdd};
        return true;
    }

    // A coordinate that is a float alone, as a sum.
    bool FloatAsSum(const Entry& e, CoordinateSum& sum) const {
        if (e.redirected != 0 || e.type != kTypeFloat || !HasWordBlock(e.item)) return false;
        sum = {e.item->value, q_.zero, tarvil::Arithmetic::kAdd};
        return true;
    }

    // The Sum form of a pixel call (its operands from picture_[at] on) and
    // what it reads besides its coordinates.
    struct Folded {
        uint16_t code = 0;
        const CoordinateSums* sums = nullptr;
        Operand value{};   // SetPixel's colour bytes, SetPixelVal's value
        uint8_t load = 0;  // how SetPixelVal's value is read
    };

    // The Sum form of the pixel call when the operations just before it work
    // out one or both of its coordinates; those operations are then left
    // out. No code where the call has no Sum form.
    Folded FoldSums(Handler h, size_t at) {
        CoordinateSums sums;
        const bool foldsY = SumAtEnd(picture_[at + 2], 0, sums.y);
        const bool foldsX = SumAtEnd(picture_[at + 1], foldsY ? 1 : 0, sums.x);
        if (!foldsX && !foldsY) return {};
        if (!foldsX && !FloatAsSum(picture_[at + 1], sums.x)) return {};
        if (!foldsY && !FloatAsSum(picture_[at + 2], sums.y)) return {};
        Folded folded;
        folded.code = kGetPixelSum;
        if (h == FuncGetPixelVal) {
            folded.code = kGetPixelValSum;
        } else if (h == StmtSetPixel) {
            const Entry& colour = picture_[at + 3];
            if (colour.redirected != 0 || !HasWordBlock(colour.item)) return {};
            folded.value.bytes = colour.item->value;
            folded.code = kSetPixelSum;
        } else if (h == StmtSetPixelVal) {
            if (!Number(picture_[at + 3], folded.value, folded.load)) return {};
            folded.code = kSetPixelValSum;
        }
        // The call takes the place of the first operation left out, and any
        // run start that named it.
        q_.ops.resize(q_.ops.size() - (foldsX ? 1 : 0) - (foldsY ? 1 : 0));
        producedAt_ = UINT32_MAX;
        folded.sums = &q_.sums.emplace_back(sums);
        return folded;
    }

    // GetPalette(image, index) and SetPalette(image, index, colour).
    uint32_t TranslatePalette(uint32_t pc, Handler h) {
        const bool get = h == FuncGetPalette;
        const size_t count = get ? 2 : 3;
        if (picture_.size() < count) return 0;
        const size_t at = picture_.size() - count;
        const Entry& image = picture_[at];
        if (!IsImageOperand(image)) return 0;
        Op op;
        if (!Number(picture_[at + 1], op.a, op.loadA)) return 0;
        Item* out = get ? ResultOf(pc, kTypeRgb) : nullptr;
        if (get && out == nullptr) return 0;
        if (!get) op.d.slot = SlotOf(picture_[at + 2]);
        op.c.item = image.item;
        Op& emitted = Emit(get ? kGetPaletteAny : kSetPaletteAny, pc);
        picture_.resize(at);
        CopyOperands(op, emitted);
        emitted.c = op.c;
        emitted.d = op.d;
        emitted.out = out;
        if (get) Produce(pc, out, kTypeRgb);
        return 1;
    }

    Machine& m_;
    QuickCode& q_;
    std::vector<bool> targets_;
    std::unordered_map<const Item*, TypeCode> resultTypes_;
    std::unordered_map<uint32_t, uint32_t> unitAt_;
    std::vector<uint32_t> jumpOps_;

    bool open_ = false;
    bool jumped_ = false;
    uint32_t producedAt_ = UINT32_MAX;
    uint32_t producedOp_ = UINT32_MAX;
    uint32_t unitStart_ = 0;
    uint32_t unitFirstOp_ = 0;
    uint32_t unitSegments_ = 0;
    // The user of the packed IndexArray translated last, and 1 + its window.
    uint32_t windowUser_ = UINT32_MAX;
    uint32_t windowNumber_ = 0;
    std::vector<Entry> picture_;
    std::vector<uint32_t> unitExits_;
    std::vector<uint32_t> pendingEntries_;
};

}  // namespace

std::string ListQuickCode(const QuickCode& q) {
    static const char* const kNames[] = {
#define TARVIL_QUICK_NAME(name) #name,
        TARVIL_QUICK_OPS(TARVIL_QUICK_NAME)
#undef TARVIL_QUICK_NAME
    };
    const auto ends = [](uint16_t code) {
        return code == kExit || code == kJump || code == kJumpIfBytes || code == kJumpIfSlot ||
               (code >= kCompareJumpFF && code <= kCompareJumpAny) || code == kForNext;
    };
    std::string text;
    for (const Unit& unit : q.units) {
        if (unit.firstOp == kNoOp) continue;
        text += '[';
        text += std::to_string(unit.startPc);
        text += ',';
        text += std::to_string(unit.endPc);
        text += ')';
        for (uint32_t k = unit.firstOp; k < q.ops.size(); ++k) {
            text += ' ';
            const Op& op = q.ops[k];
            text += kNames[op.code];
            // An operation of any loads reading the held result.
            if (op.loadA == kLoadHeld || op.loadB == kLoadHeld ||
                (op.kind == kLoadHeld && IsPixelValueStore(op.code)))
                text += "(R)";
            if (ends(q.ops[k].code)) break;
        }
        text += "\n";
    }
    return text;
}

void PrepareQuickCode(Machine& m) {
    auto code = std::make_unique<QuickCode>();
    Translator(m, *code).Translate();
    m.FastForms = std::move(code);
}

}  // namespace tarvil::quick
