// Fused instructions: the sequences that pixel loops spend their time in, each
// done by one handler. Every one of them first checks that its operands are of
// the kinds it handles and that the operand stack has room for what the
// sequence pushes, so that none of the instructions could stop the run; then it
// reads and writes the same Items, in the same order, as the instructions
// would, and leaves the stack slots as they would. Otherwise it returns false
// and the instructions run one by one.
#include <array>
#include <initializer_list>

#include "fast/fast_paths.h"
#include "fast/fast_steps.h"
#include "handlers/handlers.h"
#include "image/pixel_access.h"

namespace tarvil {

namespace {

// An Item with a block that holds a float. An Item's block never changes once
// it is made, so FuseCode checks this once; TypeCodes do change (a NEXT over a
// member makes it a float) and are checked on every run of a fused handler.
bool HasFloatBlock(const Item* item) {
    return item != nullptr && item->value != nullptr && item->size >= sizeof(float);
}

bool IsFloat(const Item* item) {
    return item->typeCode == kTypeFloat;
}

float Load(const Item& item) {
    return LoadFloatBytes(item.value);
}

void Store(Item& item, double value) {
    item.typeCode = kTypeFloat;
    StoreFloatBytes(item.value, static_cast<float>(value));
}

bool StackHasRoom(const Machine& m, uint32_t count) {
    return m.StackTop + count <= Machine::kOperandStackSize;
}

bool Is(const Machine& m, uint32_t index, Handler handler) {
    return index < m.EmitCount && m.CodeTable[index].handler == handler;
}

bool IsArithmetic(Handler handler) {
    return handler == OpAdd || handler == OpSub || handler == OpMul || handler == OpDiv;
}

}  // namespace

double FusedArithmetic(Handler handler, double left, double right) {
    if (handler == OpAdd) return ArithmeticValue(Arithmetic::kAdd, left, right);
    if (handler == OpSub) return ArithmeticValue(Arithmetic::kSub, left, right);
    if (handler == OpMul) return ArithmeticValue(Arithmetic::kMul, left, right);
    return ArithmeticValue(Arithmetic::kDiv, left, right);
}

namespace {

// The work of NEXT's six instructions at `code` on Items FusedForNext has
// checked; true when the loop goes on. The sum and the truth become floats.
bool StepForNext(const Instruction* code) {
    code[2].item->typeCode = kTypeFloat;
    code[4].item->typeCode = kTypeFloat;
    return NextOnBlocks(code[0].item->value, code[1].item->value, code[2].item->value,
                        code[3].item->value, code[4].item->value);
}

bool ForNextOperandsFit(const Machine& m, const Instruction* code) {
    return IsFloat(code[0].item) && IsFloat(code[1].item) && IsFloat(code[3].item) &&
           StackHasRoom(m, 2);
}

// The work of target = a op b at `code` on Items FusedArithmeticAssign has checked.
void StepArithmeticAssign(const Instruction* code) {
    Item* left = code[0].item;
    Item* right = code[1].item;
    Item* result = code[2].item;
    Item* target = code[3].item;
    const float r = Load(*right);
    Store(*result, FusedArithmetic(code[2].handler, Load(*left), r));
    // Assign: a float from a float, converted through double as AssignFloat does.
    Store(*target, Load(*result));
}

bool ArithmeticOperandsFit(const Machine& m, const Instruction* code) {
    return IsFloat(code[0].item) && IsFloat(code[1].item) && IsFloat(code[3].item) &&
           StackHasRoom(m, 2);
}

}  // namespace

// NEXT: variable := step + variable; repeat while variable <= limit.
uint32_t FusedForNext(Machine& m, uint32_t /*budget*/) {
    const uint32_t pc = m.ProgramCounter;
    const Instruction* code = &m.CodeTable[pc];
    if (!ForNextOperandsFit(m, code)) return 0;
    const bool again = StepForNext(code);
    m.OperandStack[m.StackTop] = code[4].item;
    m.OperandStack[m.StackTop + 1] = code[3].item;
    m.ProgramCounter = again ? code[5].number : pc + 5;
    return 6;
}

// target = a op b with + - * /.
uint32_t FusedArithmeticAssign(Machine& m, uint32_t /*budget*/) {
    const uint32_t pc = m.ProgramCounter;
    const Instruction* code = &m.CodeTable[pc];
    if (!ArithmeticOperandsFit(m, code)) return 0;
    StepArithmeticAssign(code);
    m.OperandStack[m.StackTop] = code[2].item;
    m.OperandStack[m.StackTop + 1] = code[1].item;
    m.ProgramCounter = pc + 3;
    return 4;
}

namespace {

// The value blocks the passes of an arithmetic loop work on.
struct BlockAssignment {
    std::byte* left;
    std::byte* right;
    std::byte* result;
    std::byte* target;
    Handler op;
};

struct LoopBlocks {
    std::byte* step;
    std::byte* variable;
    std::byte* sum;
    std::byte* limit;
    std::byte* truth;
};

// Whole passes while `room` holds one; returns the instructions done.
// `ended`: the last NEXT did not jump back.
template <bool singleAdd>
uint32_t ArithmeticPasses(const BlockAssignment* steps, uint32_t assignments,
                          const LoopBlocks& loop, uint32_t passSpan, uint32_t room, bool& ended) {
    uint32_t done = 0;
    while (room - done >= passSpan) {
        for (uint32_t k = 0; k < (singleAdd ? 1 : assignments); ++k) {
            const BlockAssignment& a = steps[k];
            const float r = LoadFloatBytes(a.right);
            const double left = LoadFloatBytes(a.left);
            const auto value =
                static_cast<float>(singleAdd ? ArithmeticValue(Arithmetic::kAdd, left, r)
                                             : FusedArithmetic(a.op, left, r));
            StoreFloatBytes(a.result, value);
            StoreFloatBytes(a.target, LoadFloatBytes(a.result));
        }
        done += passSpan;
        if (!NextOnBlocks(loop.step, loop.variable, loop.sum, loop.limit, loop.truth)) {
            ended = true;
            break;
        }
    }
    return done;
}

}  // namespace

// The NEXT of a loop whose body is nothing but target = a op b assignments
// (FuseCode has found each fusable): after NEXT itself, whole passes of body
// and NEXT run here while the budget holds one. The operands are checked once:
// every Item a pass writes becomes a float and the others keep their TypeCodes,
// so a pass that starts with them fitting leaves them fitting. Each pass leaves
// the operand stack slots as the first NEXT did, and the budget's remainder
// goes to the pass-by-pass path, so events are dispatched as before.
uint32_t FusedArithmeticLoop(Machine& m, uint32_t budget) {
    const uint32_t next = m.ProgramCounter;
    const uint32_t done = FusedForNext(m, budget);
    if (done == 0) return 0;
    const Instruction* code = &m.CodeTable[next];
    const uint32_t loopBack = code[5].number;
    if (m.ProgramCounter != loopBack) return done;
    const uint32_t first = loopBack + 1;
    const Instruction* body = &m.CodeTable[first];
    const uint32_t assignments = (next - first) / 4;
    for (uint32_t k = 0; k < assignments; ++k) {
        if (!ArithmeticOperandsFit(m, body + 4 * k)) return done;
    }
    const uint32_t passSpan = next - first + 6;
    if (budget - done < passSpan) return done;
    // The passes work on the value blocks directly: the TypeCodes they would set
    // are set here (sum and truth by the NEXT just done), before the first
    // pass, which would set them before anything could look. Loads and stores
    // go in the instructions' order, so Items shared between them read what was
    // written.
    std::array<BlockAssignment, kMostArithmeticInALoop> steps;
    for (uint32_t k = 0; k < assignments; ++k) {
        const Instruction* at = body + 4 * k;
        steps[k] = {at[0].item->value, at[1].item->value, at[2].item->value, at[3].item->value,
                    at[2].handler};
        at[2].item->typeCode = kTypeFloat;
    }
    const LoopBlocks blocks{code[0].item->value, code[1].item->value, code[2].item->value,
                            code[3].item->value, code[4].item->value};
    bool ended = false;
    // s = s + x, the commonest body, with its operator known to the compiler.
    const bool singleAdd = assignments == 1 && steps[0].op == OpAdd;
    const uint32_t total =
        done +
        (singleAdd ? ArithmeticPasses<true>(steps.data(), 1, blocks, passSpan, budget - done, ended)
                   : ArithmeticPasses<false>(steps.data(), assignments, blocks, passSpan,
                                             budget - done, ended));
    if (ended) m.ProgramCounter = next + 5;
    return total;
}

// The NEXT of a loop whose body is made of fused instructions that never jump
// (FuseCode has found them): after NEXT itself, whole passes run on what they
// cannot change, checked once (RunWholePixelPasses), where the body allows it;
// otherwise, and for the budget's remainder, the body's handlers and NEXT run
// here one after the other, as the execution loop would run them, while the
// budget holds each one's span. Where one cannot run (the budget, or operands
// it does not handle), ProgramCounter is left just before it, as after the
// instruction before it, and the execution loop goes on from there.
uint32_t FusedLoop(Machine& m, uint32_t budget) {
    const uint32_t next = m.ProgramCounter;
    uint32_t total = FusedForNext(m, budget);
    if (total == 0) return 0;
    const uint32_t jump = m.CodeTable[next + 5].number;  // the instruction before the body
    // Whole passes are tried at the start and once more after a pass one by
    // one, which gives the temporaries the TypeCodes the check looks for.
    int wholePassTries = 2;
    for (;;) {
        if (m.ProgramCounter != jump) return total;  // the loop has ended
        if (wholePassTries > 0) {
            --wholePassTries;
            bool ended = false;
            const uint32_t done = RunWholePixelPasses(m, next, budget - total, ended);
            if (done != 0) {
                total += done;
                wholePassTries = 0;
                if (ended) {
                    m.ProgramCounter = next + 5;
                    return total;
                }
            }
        }
        for (uint32_t at = jump + 1; at < next;) {
            const FusedInstruction& fused = m.FusedTable[at];
            m.ProgramCounter = at;
            const uint32_t done =
                fused.span <= budget - total ? fused.handler(m, budget - total) : 0;
            if (done == 0) {
                m.ProgramCounter = at - 1;
                return total;
            }
            total += done;
            at += fused.span;
        }
        m.ProgramCounter = next;
        const uint32_t done = 6 <= budget - total ? FusedForNext(m, budget - total) : 0;
        if (done == 0) {
            m.ProgramCounter = next - 1;
            return total;
        }
        total += done;
    }
}

namespace {

// The Items of instructions pc + offsets: all of them with a float's block.
bool HaveFloatBlocks(const Machine& m, uint32_t pc, std::initializer_list<uint32_t> offsets) {
    for (uint32_t offset : offsets) {
        if (!HasFloatBlock(m.CodeTable[pc + offset].item)) return false;
    }
    return true;
}

bool HaveItems(const Machine& m, uint32_t pc, uint32_t span) {
    for (uint32_t k = 0; k < span; ++k) {
        if (m.CodeTable[pc + k].item == nullptr) return false;
    }
    return true;
}

// The fused form of the instructions at pc, when they make one of the sequences
// and their Items have the blocks the fused handler reads and writes in place.
FusedInstruction FuseAt(const Machine& m, uint32_t pc) {
    const auto item = [&m, pc](uint32_t offset) { return m.CodeTable[pc + offset].item; };
    // IndexArray redirects the next instruction to another Item on every run.
    if (pc > 0 && m.CodeTable[pc - 1].handler == IndexArray) return {};
    if (!Is(m, pc, PushOperand)) return {};
    if (Is(m, pc + 1, PushOperand) && Is(m, pc + 2, OpAdd) && Is(m, pc + 3, PushOperand) &&
        Is(m, pc + 4, OpLe) && Is(m, pc + 5, JumpIfTrue)) {
        if (!HaveFloatBlocks(m, pc, {0, 1, 2, 3, 4})) return {};
        return {FusedForNext, 6};
    }
    if (Is(m, pc + 1, PushOperand) && pc + 2 < m.EmitCount &&
        IsArithmetic(m.CodeTable[pc + 2].handler) && Is(m, pc + 3, Assign)) {
        if (!HaveFloatBlocks(m, pc, {0, 1, 2, 3}) || item(3) == item(2)) return {};
        return {FusedArithmeticAssign, 4};
    }
    if (Is(m, pc + 1, PushOperand) && Is(m, pc + 2, PushOperand) && Is(m, pc + 3, FuncGetPixel) &&
        Is(m, pc + 4, Assign)) {
        if (!HaveFloatBlocks(m, pc, {1, 2, 3, 4}) || item(4) == item(3)) return {};
        return {FusedGetPixelAssign, 5};
    }
    if (Is(m, pc + 1, PushOperand) && Is(m, pc + 2, PushOperand) && Is(m, pc + 3, PushOperand) &&
        Is(m, pc + 4, StmtSetPixel)) {
        if (!HaveFloatBlocks(m, pc, {1, 2})) return {};
        return {FusedSetPixel, 5};
    }
    if (Is(m, pc + 1, Assign)) {
        uint32_t pairs = 1;
        while (pairs < kMostPairsInARun && Is(m, pc + 2 * pairs, PushOperand) &&
               Is(m, pc + 2 * pairs + 1, Assign)) {
            ++pairs;
        }
        if (!HaveItems(m, pc, 2 * pairs)) return {};
        if (pairs == 1) return {FusedPushAssign, 2};
        bool blocks = true;
        for (uint32_t k = 0; k < 2 * pairs && blocks; ++k) blocks = HasFloatBlock(item(k));
        // A float's block is as large as a colour's: 4 bytes.
        return {blocks ? FusedColourAssignRun : FusedPushAssignRun, 2 * pairs};
    }
    return {};
}

// Fused instructions that never jump: each leaves ProgramCounter on its own last instruction.
bool RunsStraightOn(FusedHandler handler) {
    return handler == FusedArithmeticAssign || handler == FusedPushAssign ||
           handler == FusedPushAssignRun || handler == FusedColourAssignRun ||
           handler == FusedGetPixelAssign || handler == FusedSetPixel;
}

// A NEXT that jumps back to a body covered, one after the other up to the
// NEXT, by fused instructions that never jump.
bool IsFusedLoop(const Machine& m, uint32_t pc) {
    if (m.FusedTable[pc].handler != FusedForNext) return false;
    const uint32_t first = m.CodeTable[pc + 5].number + 1;
    if (first >= pc) return false;
    uint32_t at = first;
    while (at < pc) {
        const FusedInstruction& fused = m.FusedTable[at];
        if (!RunsStraightOn(fused.handler)) return false;
        at += fused.span;
    }
    return at == pc;
}

// A NEXT that jumps back to a body made of one or more fused target = a op b
// assignments, one after the other up to the NEXT, with no other instruction.
bool IsArithmeticLoop(const Machine& m, uint32_t pc) {
    if (m.FusedTable[pc].handler != FusedForNext) return false;
    const uint32_t first = m.CodeTable[pc + 5].number + 1;
    if (first >= pc || (pc - first) % 4 != 0) return false;
    if ((pc - first) / 4 > kMostArithmeticInALoop) return false;
    for (uint32_t at = first; at < pc; at += 4) {
        if (m.FusedTable[at].handler != FusedArithmeticAssign) return false;
    }
    return true;
}

}  // namespace

void PrepareFastForms(Machine& m, bool fast) {
    if (fast) {
        FuseCode(m);
        PrepareQuickRuns(m);
    } else {
        m.FusedTable.fill({});
        m.QuickTable.fill({});
        m.QuickPictures.clear();
    }
}

void FuseCode(Machine& m) {
    m.FusedTable.fill({});
    for (uint32_t pc = 0; pc < m.EmitCount; ++pc) m.FusedTable[pc] = FuseAt(m, pc);
    for (uint32_t pc = 0; pc < m.EmitCount; ++pc) {
        if (IsArithmeticLoop(m, pc)) {
            m.FusedTable[pc].handler = FusedArithmeticLoop;
        } else if (IsFusedLoop(m, pc)) {
            m.FusedTable[pc].handler = FusedLoop;
        }
    }
}

}  // namespace tarvil
