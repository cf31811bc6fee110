#include "fuzz_host.h"

#include "engine/image_record.h"
#include "engine/run_driver.h"

namespace tarvil::fuzz {

namespace {

class SilentPreview final : public PreviewWindow {
public:
    void Refresh() override {}
};

}  // namespace

void FuzzHost::StopRun() {
    // A Run pressed while a run is in progress stops it after the current instruction.
    if (m_machine != nullptr && m_machine->RunInProgress) RunScript(*m_machine, "");
}

void FuzzHost::CountEvent() {
    if (++m_events > m_eventBudget) StopRun();
}

void FuzzHost::DispatchPendingMessages() {
    if (++m_dispatches > m_dispatchBudget) StopRun();
}

int FuzzHost::UpdateProgress(const char* text, uint16_t) {
    // Closing the dialog at the end of a run is not an event round of the script.
    if (text != nullptr && *text != '\0') CountEvent();
    return 0;
}

int FuzzHost::ShowDebugDialog(unsigned, std::span<const std::string>) {
    CountEvent();
    return 1;  // Continue
}

std::unique_ptr<PreviewWindow> FuzzHost::CreatePreview(const Image&, std::string_view, int, int,
                                                       int, int) {
    return std::make_unique<SilentPreview>();
}

bool FuzzHost::PutClipboardImage(std::span<const uint8_t> packedDib) {
    m_lastSaved.assign(packedDib.begin(), packedDib.end());
    m_clipboard = m_lastSaved;
    return true;
}

void FuzzHost::WaitForEvents() {
    CountEvent();
    if (!m_lastSaved.empty() && !m_clipboard) {
        m_clipboard = m_lastSaved;
        ++m_changeCount;
    } else if (m_clipboard && m_changeCount == 0) {
        ++m_changeCount;
    }
}

}  // namespace tarvil::fuzz
