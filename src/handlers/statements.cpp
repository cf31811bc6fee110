// The statements that talk to the user or end the program: DSPMES, DSPWHILE,
// Debug, RETURN and EXIT. Without a host (tests, tools) nothing is shown,
// the progress dialog never asks to stop and the debug dialog answers Continue.
#include <algorithm>
#include <string_view>

#include "engine/host.h"
#include "engine/values.h"
#include "engine/variable_listing.h"
#include "handlers/handlers.h"

namespace tarvil {

namespace {

// A message as the 256-byte buffer it was built in: longer texts are cut at 255 characters.
class MessageBuffer {
public:
    void Append(std::string_view text) {
        const size_t count = std::min(text.size(), kCapacity - m_length);
        std::copy_n(text.data(), count, m_text + m_length);
        m_length += count;
        m_text[m_length] = '\0';
    }
    std::string_view view() const { return {m_text, m_length}; }
    const char* c_str() const { return m_text; }

private:
    static constexpr size_t kCapacity = 255;
    char m_text[kCapacity + 1] = {};
    size_t m_length = 0;
};

constexpr int kDebugStop = 2;

}  // namespace

// DSPMES(a, b, ...): the compiler pushes the arguments, then their count.
// Strings join as text, everything else as its number in "%g" form (with "."
// in every locale). A count
// larger than the stack holds takes only what is there (and stops the run).
void StmtDspMes(Machine& m) {
    const int32_t count = ToInt32(PopNumber(m));
    uint32_t n = count > 0 ? static_cast<uint32_t>(count) : 0;
    if (n > m.StackTop) {
        PushStop(m, "Error: Missing argument");
        n = m.StackTop;
    }
    const uint32_t first = m.StackTop - n;

    MessageBuffer text;
    for (uint32_t i = first; i < m.StackTop; ++i) {
        const Item* argument = m.OperandStack[i];
        if (argument == nullptr) continue;
        if (argument->typeCode == kTypeString) {
            text.Append(ItemText(*argument));
        } else {
            text.Append(FormatNumber(ItemNumber(m, *argument)));
        }
    }
    m.StackTop = first;

    if (m.host != nullptr) m.host->ShowMessage(text.view(), MessageKind::Script);
}

// DSPWHILE(text, percent) shows or (empty text) closes the progress dialog.
// In an expression its result temporary receives the stop request, 1 or 0; as
// a statement (no operand) the request is dropped.
void StmtDspWhile(Machine& m) {
    const Item* percentItem = PopItem(m);
    const Item* textItem = PopItem(m);
    const auto percent = static_cast<uint16_t>(ToInt32(ItemNumber(m, *percentItem)) & 0xFFFF);
    MessageBuffer text;
    // Only a string has a text; anything else shows as empty text.
    if (textItem->typeCode == kTypeString) text.Append(ItemText(*textItem));

    const int stopRequest = m.host != nullptr ? m.host->UpdateProgress(text.c_str(), percent) : 0;
    if (m.Current().item != nullptr) PushFloatResult(m, stopRequest != 0 ? 1.0 : 0.0);
}

// Debug: the operand is the statement's source line. Only the Stop answer ends the run.
void StmtDebug(Machine& m) {
    const unsigned line = m.Current().number;
    if (m.host == nullptr) return;
    const std::vector<std::string> lines = VariableListing(m);
    if (m.host->ShowDebugDialog(line, lines) == kDebugStop) {
        PushStop(m, "Debug: Program stopped");
    }
}

void StmtReturn(Machine& m) {
    PushStop(m, "End");
}

// The statements after EXIT still run; the application closes when the run ends.
void StmtExit(Machine& m) {
    m.ExitRequested = true;
}

}  // namespace tarvil
