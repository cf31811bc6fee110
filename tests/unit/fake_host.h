// A Host for unit tests: records what a run shows and answers as told.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/host.h"
#include "engine/image_record.h"

namespace tarvil::testing {

struct ProgressCall {
    std::optional<std::string> text;  // nullopt for a null text
    uint16_t percent;
};

struct DebugCall {
    unsigned line;
    std::vector<std::string> variableLines;
};

struct RunStop {
    unsigned line;
    size_t messagesBefore;  // how many messages had been shown by then
};

class FakePreview : public PreviewWindow {
public:
    explicit FakePreview(int* refreshCount, int* destroyedCount)
        : m_refreshCount(refreshCount), m_destroyedCount(destroyedCount) {}
    ~FakePreview() override { ++*m_destroyedCount; }
    void Refresh() override { ++*m_refreshCount; }

private:
    int* m_refreshCount;
    int* m_destroyedCount;
};

class FakeHost : public Host {
public:
    // What the host was asked to do.
    std::vector<std::string> messages;        // every message, in order
    std::vector<std::string> scriptMessages;  // DSPMES texts only
    std::vector<ProgressCall> progressCalls;
    std::vector<DebugCall> debugCalls;
    std::vector<unsigned> selectedLines;
    std::vector<RunStop> runStops;
    std::vector<std::string> fileNameTitles;
    int dispatchCount = 0;
    int closeRequests = 0;
    int previewsCreated = 0;
    int previewRefreshes = 0;
    int previewsDestroyed = 0;
    std::vector<std::string> previewTitles;

    // How it answers.
    int stopRequest = 0;
    std::deque<int> debugAnswers;  // 1 Continue (the default), 2 Stop
    std::string fileNameAnswer;
    bool showsPreviews = true;

    // Clipboard: an in-memory one.
    bool clipboardAvailable = true;
    uint16_t changeCount = 1;
    std::optional<std::vector<uint8_t>> clipboardDib;
    std::optional<ClipboardBitmap> clipboardBitmap;
    std::optional<std::vector<uint8_t>> clipboardPng;
    std::vector<std::vector<uint8_t>> putImages;
    // Called on each WaitForEvents round, so a test can make "another program" act.
    std::function<void(FakeHost&)> onWait;
    int waitRounds = 0;

    void ShowMessage(std::string_view text, MessageKind kind) override {
        messages.emplace_back(text);
        if (kind == MessageKind::Script) scriptMessages.emplace_back(text);
    }
    int UpdateProgress(const char* text, uint16_t percent) override {
        progressCalls.push_back({text ? std::optional<std::string>(text) : std::nullopt, percent});
        return stopRequest;
    }
    void DispatchPendingMessages() override { ++dispatchCount; }
    int ShowDebugDialog(unsigned line, std::span<const std::string> lines) override {
        debugCalls.push_back({line, {lines.begin(), lines.end()}});
        if (debugAnswers.empty()) return 1;
        int answer = debugAnswers.front();
        debugAnswers.pop_front();
        return answer;
    }
    std::string GetFileName(std::string_view title) override {
        fileNameTitles.emplace_back(title);
        return fileNameAnswer;
    }
    void SelectEditorLine(unsigned line) override { selectedLines.push_back(line); }
    void RunStopped(unsigned line) override { runStops.push_back({line, messages.size()}); }
    void RequestClose() override { ++closeRequests; }
    std::unique_ptr<PreviewWindow> CreatePreview(const Image&, std::string_view title, int, int,
                                                 int, int) override {
        if (!showsPreviews) return nullptr;
        ++previewsCreated;
        previewTitles.emplace_back(title);
        return std::make_unique<FakePreview>(&previewRefreshes, &previewsDestroyed);
    }
    bool ClipboardAvailable() override { return clipboardAvailable; }
    uint16_t ClipboardChangeCount() override { return changeCount; }
    void SetClipboardChangeCount(uint16_t count) override { changeCount = count; }
    ClipboardOffer PeekClipboard() override {
        return {clipboardDib.has_value(), clipboardBitmap.has_value(), clipboardPng.has_value()};
    }
    std::optional<std::vector<uint8_t>> TakeClipboardPng() override { return clipboardPng; }
    std::optional<std::vector<uint8_t>> TakeClipboardPackedDib() override { return clipboardDib; }
    std::optional<ClipboardBitmap> TakeClipboardBitmap() override { return clipboardBitmap; }
    void EmptyClipboard() override {
        clipboardDib.reset();
        clipboardBitmap.reset();
        clipboardPng.reset();
    }
    bool PutClipboardImage(std::span<const uint8_t> dib) override {
        putImages.emplace_back(dib.begin(), dib.end());
        clipboardDib.emplace(dib.begin(), dib.end());
        return true;
    }
    void WaitForEvents() override {
        ++waitRounds;
        if (onWait) onWait(*this);
    }
};

}  // namespace tarvil::testing
