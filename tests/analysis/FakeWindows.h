// Scripted windows for engine tests: records everything the engine shows, answers questions from
// a script and presses Cancel on cue.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "analysis/uVantrel4.h"

namespace vantrel::testing {

class TFakeEngineWindows : public TEngineWindows {
  public:
    // What happened, in order: "error:TEXT", "confirm:TEXT", "text:TEXT", "position:N", "show",
    // "hide", "enabled:0", "enabled:1", "histogram", "progress-created", "progress-released".
    std::vector<std::string> Events;
    std::vector<std::string> Errors;
    std::vector<std::string> Questions;
    std::deque<bool> Answers;  // answers to Confirm, in order; empty: DefaultAnswer
    bool DefaultAnswer = false;
    // Cancel is pressed once this many ProcessMessages calls have happened (-1: never), or at
    // the first ProcessMessages after a progress window was given CancelOnText.
    int CancelAfterProcessMessages = -1;
    std::string CancelOnText;
    int ProcessMessagesCalls = 0;
    bool Cancelled = false;
    int MainWindowDisabled = 0;  // nesting depth of disabling; 0 when enabled
    int OpenProgressWindows = 0;
    int HistogramsShown = 0;
    TPiBHistogramData LastHistogram;
    std::vector<int32_t> LastHistogramBins;  // a copy: the engine's arrays die with the stage

    void ShowError(const std::string& text) override {
        Events.push_back("error:" + text);
        Errors.push_back(text);
    }
    bool Confirm(const std::string& text) override {
        Events.push_back("confirm:" + text);
        Questions.push_back(text);
        if (Answers.empty()) return DefaultAnswer;
        const bool answer = Answers.front();
        Answers.pop_front();
        return answer;
    }
    std::unique_ptr<TProgressWindow> CreateProgress() override {
        Events.push_back("progress-created");
        return std::make_unique<TFakeProgress>(*this);
    }
    void SetMainWindowEnabled(bool enabled) override {
        Events.push_back(enabled ? "enabled:1" : "enabled:0");
        MainWindowDisabled += enabled ? -1 : 1;
    }
    void ProcessMessages() override {
        ++ProcessMessagesCalls;
        if (CancelAfterProcessMessages >= 0 && ProcessMessagesCalls >= CancelAfterProcessMessages)
            Cancelled = true;
        if (CancelTextSeen) Cancelled = true;
    }
    void ShowPiBHistogram(const TPiBHistogramData& data, bool, bool) override {
        Events.push_back("histogram");
        ++HistogramsShown;
        LastHistogram = data;
        if (data.Histogram) LastHistogramBins = *data.Histogram;
    }

    // The events that start with prefix, without it.
    std::vector<std::string> EventsOf(const std::string& prefix) const {
        std::vector<std::string> found;
        for (const std::string& e : Events)
            if (e.rfind(prefix, 0) == 0) found.push_back(e.substr(prefix.size()));
        return found;
    }

  private:
    bool CancelTextSeen = false;

    class TFakeProgress : public TProgressWindow {
      public:
        explicit TFakeProgress(TFakeEngineWindows& owner) : Owner(owner) {
            ++Owner.OpenProgressWindows;
        }
        ~TFakeProgress() override {
            --Owner.OpenProgressWindows;
            Owner.Events.push_back("progress-released");
        }
        void SetText(const std::string& text) override {
            Owner.Events.push_back("text:" + text);
            if (!Owner.CancelOnText.empty() && text == Owner.CancelOnText)
                Owner.CancelTextSeen = true;
        }
        void SetPosition(int percent) override {
            Owner.Events.push_back("position:" + std::to_string(percent));
        }
        bool Cancelled() const override { return Owner.Cancelled; }
        void Show() override { Owner.Events.push_back("show"); }
        void Hide() override { Owner.Events.push_back("hide"); }

      private:
        TFakeEngineWindows& Owner;
    };
};

// Installs fake windows and a run context for one test, and restores the headless defaults.
class TScopedFakeRun {
  public:
    explicit TScopedFakeRun(bool batchMode) {
        ResetEngineSettings();
        SetEngineWindows(&Windows);
        RunContext().BatchMode = batchMode;
        RunContext().PrintPiB = false;
        RunContext().ExportBmp = false;
        RunContext().ProgressList = &Progress;
    }
    ~TScopedFakeRun() {
        RunContext() = TRunContext{};
        SetEngineWindows(nullptr);
        ResetEngineSettings();
    }
    TScopedFakeRun(const TScopedFakeRun&) = delete;
    TScopedFakeRun& operator=(const TScopedFakeRun&) = delete;

    TFakeEngineWindows Windows;
    TProgressList Progress;
};

}  // namespace vantrel::testing
