// The machine: code table, operand stack, the four lists and the run state.
//
// One Machine lives as long as the process and is handed to every handler.
// Handlers take their arguments from the OperandStack (the last argument on
// top), write results into the compile-time temporary that is their operand,
// and report failures by putting a message on the StopList; the execution loop
// stops after the instruction that did so.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "engine/array_table.h"
#include "engine/item_list.h"
#include "engine/value_bytes.h"

namespace tarvil {

class Machine;
class Host;
class FileSystemCalls;
using Handler = void (*)(Machine&);

// One instruction: a handler and its operand. The operand is an Item (the
// variable, constant or temporary the instruction works on), an instruction
// index (jumps) or a source line number (StmtDebug), as the handler defines.
// `line` is the script line it was compiled from; it is read only when a run
// stops, and takes the room the struct would otherwise leave as padding.
struct Instruction {
    Handler handler = nullptr;
    Item* item = nullptr;
    uint32_t number = 0;
    uint32_t line = 0;
};
static_assert(sizeof(Instruction) == 2 * sizeof(void*) + 2 * sizeof(uint32_t),
              "the execution loop walks the CodeTable: an Instruction stays this small");

// Faster forms of the instructions, made from the CodeTable before a run by
// the fast paths above the handlers; the run driver hands them the Machine.
class FastCode {
public:
    virtual ~FastCode() = default;
};

// State of FILEFIND's directory search, kept between calls and between runs.
struct FileFindState;

class Machine {
public:
    static constexpr uint32_t kCodeTableSize = 4000;
    static constexpr uint32_t kOperandStackSize = 1000;

    explicit Machine(Host* host = nullptr);
    ~Machine();
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    Host* host;

    std::array<Instruction, kCodeTableSize> CodeTable{};
    uint32_t EmitCount = 0;
    uint32_t ProgramCounter = 0;
    // Made from the CodeTable before each run: the faster forms of its
    // instructions (null when every instruction runs plainly).
    std::unique_ptr<FastCode> FastForms;
    // Off only where a test compares a run with the same run unfused.
    bool FuseInstructions = true;

    std::array<Item*, kOperandStackSize> OperandStack{};
    uint32_t StackTop = 0;  // next free slot

    ItemList StopList;
    ItemList VariableTable;
    ItemList LoopList;
    ItemList BranchList;
    ArrayTable Arrays;

    // Compiler counters.
    unsigned LineNumber = 0;
    int ParamCount = 0;
    // How many more values ParamCount counts than the code leaves: a function
    // call counts its arguments but leaves one result.
    int ParamCountExcess = 0;

    // Run flags.
    bool RunInProgress = false;
    bool Executing = false;      // the execution loop is running (not the compiler)
    bool ExitRequested = false;  // set by EXIT, never cleared

    // RAND's generator: 1 at program start, carried on from run to run.
    uint32_t RandState = 1;

    std::unique_ptr<FileFindState> FileFind;

    // The calls SAVEIMAGE makes to replace a file: the system's own, unless a
    // test or the fuzz harness puts others in.
    std::unique_ptr<FileSystemCalls> FileSystem;

    // The largest block CREATEIMAGE may ask for: past it the image gets the
    // memory message, as when the allocation fails. Unlimited but where a
    // harness gives a run less memory than the machine has.
    uint64_t ImageBlockLimit = UINT64_MAX;

    // The command-line arguments the script sees as ClArg (script path first).
    std::vector<std::string> Arguments;

    // Instructions executed by the current run (the dispatch cadence counts them).
    uint64_t ExecutedCount = 0;

    // The script line of the instruction the execution loop stopped after: the
    // one whose handler put the first StopList entry, or the one after which
    // events were dispatched when the stop came from outside (a second Run,
    // the Stop button, a signal). 0 when no instruction stopped the run.
    unsigned StopLine = 0;

    // Stands in for a missing argument when a handler pops an empty stack.
    Item EmptyOperand;

    // The current instruction.
    const Instruction& Current() const { return CodeTable[ProgramCounter]; }
};

// Appends an instruction, marked with the line being compiled. Past the 4000th
// it stores nothing and stops the compilation with a message (the caller's
// line number). Returns false then.
bool EmitInstruction(Machine& machine, Handler handler, Item* item = nullptr, uint32_t number = 0);

// Puts `text` on the StopList (TypeCode 0): the run ends after the current instruction.
// While code executes only the first entry is kept: later ones in the same
// instruction are consequences of it (a missing argument that then reads as
// not numeric). The compiler keeps every entry; the newest is shown.
// When memory is too short even for the entry, std::bad_alloc is thrown;
// RunScript ends the run with "Memoria insufficiente".
void PushStop(Machine& machine, std::string_view text, TypeCode typeCode = 0);

// True when the run is to stop: the StopList has an entry, or the host has a
// stop request from outside (which this call puts on the StopList). Long
// handlers ask between pieces of their work; it never handles events.
bool RunStopRequested(Machine& machine);

// Operand stack. A push onto a full stack and a pop from an empty one stop the
// run with a message instead of touching memory outside the stack.
void PushItem(Machine& machine, Item* item);
Item* PopItem(Machine& machine);

// Numeric coercion of an Item by its TypeCode; non-numeric Items record
// "Error: Argument not numeric" and give 0.
double ItemNumber(Machine& machine, const Item& item);
double PopNumber(Machine& machine);

// Reads and writes the float held at the start of a value block (0 when the block is too small).
// Inline: every numeric handler reads and writes through them.
inline float ReadFloat(const Item& item) {
    if (item.value == nullptr || item.size < sizeof(float)) return 0.0f;
    return LoadFloatBytes(item.value);
}

inline void WriteFloat(Item& item, float value) {
    if (item.value != nullptr && item.size >= sizeof value) StoreFloatBytes(item.value, value);
}

// A handler's result: sets the operand Item's TypeCode to float, stores the value, pushes it.
void PushFloatResult(Machine& machine, double value);

// Integer operand of the integer operators and INT: the number truncated toward
// zero to 64 bits, of which the low 32 bits are used. Out-of-range values and
// NaN convert to the processor's "integer indefinite", whose low 32 bits are 0.
// Inline: every integer operator and colour store converts through it.
inline uint32_t ToUint32(double value) {
    if (!(std::fabs(value) < 9.2e18)) return 0;
    return static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(value)));
}

// The byte a colour member receives from a number: its low 8 bits (256 gives 0, -1 gives 255).
inline uint8_t ComponentFromNumber(double value) {
    return static_cast<uint8_t>(ToUint32(value));
}

// Number truncated toward zero to a signed 32-bit integer (indices, percentages,
// sizes, coordinates); out of range and NaN give INT32_MIN. SSE2's truncating
// conversion gives exactly that, in one instruction.
inline int32_t ToInt32(double value) {
#ifdef __SSE2__
    return _mm_cvttsd_si32(_mm_set_sd(value));
#else
    if (!(value > -2147483649.0 && value < 2147483648.0)) return INT32_MIN;
    return static_cast<int32_t>(value);
#endif
}

// The same for a single-precision value (every float converts to double exactly).
inline int32_t ToInt32(float value) {
#ifdef __SSE2__
    return _mm_cvttss_si32(_mm_set_ss(value));
#else
    return ToInt32(static_cast<double>(value));
#endif
}

}  // namespace tarvil
