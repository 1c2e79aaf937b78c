// A fixed setting for date-time tests: English (United States) as the user's locale, '/' and ':'
// as the process-wide separators, '.' as decimal separator and 2009 as the current year.
// Everything is restored afterwards, so tests can change any of it.
#pragma once

#include <gtest/gtest.h>

#include "support/uDateTime.h"
#include "support/uLocale.h"

namespace vantrel {

class DateTimeTestSettings : public ::testing::Test {
  protected:
    void SetUp() override {
        savedUser_ = UserFormatSettings();
        savedProcess_ = ProcessFormatSettings();
        const TFormatSettings english = GetLocaleFormatSettings(kLocaleEnglishUS);
        SetUserFormatSettings(english);
        SetProcessFormatSettings(english);
        SetCurrentYear(2009);
    }

    void TearDown() override {
        SetUserFormatSettings(savedUser_);
        SetProcessFormatSettings(savedProcess_);
        SetCurrentYearSource({});
    }

    static void SetCurrentYear(int year) {
        SetCurrentYearSource([year] { return year; });
    }

    // Changes one thing of the process-wide settings.
    template <typename Change>
    static void ChangeProcessSettings(Change change) {
        TFormatSettings settings = ProcessFormatSettings();
        change(settings);
        SetProcessFormatSettings(settings);
    }

  private:
    TFormatSettings savedUser_;
    TFormatSettings savedProcess_;
};

}  // namespace vantrel
