// A Host for fuzzing scripts: shows nothing, answers like a user who never
// touches anything, and stops the run after a bounded number of event rounds,
// the way a second Run does, so that endless loops and clipboard waits end.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/host.h"
#include "engine/machine.h"

namespace tarvil::fuzz {

class FuzzHost final : public Host {
public:
    // Event rounds a script sees (progress updates, debug stops and clipboard
    // waits) a run may take before it is asked to stop.
    static constexpr int kEventBudget = 2;
    // Message dispatches a run may take before it is asked to stop. The first
    // comes after 1025 instructions, the next every 4097, so this bounds the
    // work of one input: the first one stops it.
    static constexpr int kDispatchBudget = 0;

    explicit FuzzHost(int eventBudget = kEventBudget, int dispatchBudget = kDispatchBudget)
        : m_eventBudget(eventBudget), m_dispatchBudget(dispatchBudget) {}
    void Attach(Machine& machine) { m_machine = &machine; }

    void ShowMessage(std::string_view text, MessageKind) override { messages.emplace_back(text); }
    int UpdateProgress(const char* text, uint16_t percent) override;
    void DispatchPendingMessages() override;
    int ShowDebugDialog(unsigned, std::span<const std::string>) override;
    std::string GetFileName(std::string_view) override { return std::string(); }
    void SelectEditorLine(unsigned) override {}
    void RequestClose() override {}
    std::unique_ptr<PreviewWindow> CreatePreview(const Image&, std::string_view, int, int, int,
                                                 int) override;

    // An in-process clipboard: what the script saves is offered again, as if
    // another program had copied it, on the next wait for a new image.
    bool ClipboardAvailable() override { return true; }
    uint16_t ClipboardChangeCount() override { return m_changeCount; }
    void SetClipboardChangeCount(uint16_t count) override { m_changeCount = count; }
    ClipboardOffer PeekClipboard() override { return {m_clipboard.has_value(), false}; }
    std::optional<std::vector<uint8_t>> TakeClipboardPackedDib() override { return m_clipboard; }
    std::optional<std::vector<uint8_t>> TakeClipboardPng() override { return std::nullopt; }
    std::optional<ClipboardBitmap> TakeClipboardBitmap() override { return std::nullopt; }
    void EmptyClipboard() override { m_clipboard.reset(); }
    bool PutClipboardImage(std::span<const uint8_t> packedDib) override;
    void WaitForEvents() override;

    // Every message the run showed (DSPMES, the stop message), in order.
    std::vector<std::string> messages;

private:
    void CountEvent();
    void StopRun();

    int m_eventBudget;
    int m_dispatchBudget;
    int m_dispatches = 0;
    Machine* m_machine = nullptr;
    int m_events = 0;
    uint16_t m_changeCount = 1;
    std::optional<std::vector<uint8_t>> m_clipboard;
    std::vector<uint8_t> m_lastSaved;
};

}  // namespace tarvil::fuzz
