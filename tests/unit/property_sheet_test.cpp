#include "framework/PropertySheet.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

class Page : public zel::CPropertyPageBase {
public:
    explicit Page(UINT id) : CPropertyPageBase(id) {}
    LRESULT OnWizardNext() override {
        if (removeOnNext) Sheet()->RemovePage(this);
        return stayOnNext ? -1 : 0;
    }
    bool removeOnNext = false;
    bool stayOnNext = false;
};

// Runs the steps one by one from the sheet's own message loop, each after
// what the previous one posted has been handled.
class ScriptedSheet : public zel::CPropertySheetBase {
public:
    ScriptedSheet() : CPropertySheetBase(L"Container test") {}
    std::vector<std::function<void(ScriptedSheet&)>> steps;

protected:
    void OnInitialized() override { ::PostMessageW(Handle(), kStep, 0, 0); }
    BOOL OnMessage(UINT message, WPARAM, LPARAM, LRESULT& result) override {
        if (message != kStep) return FALSE;
        if (next_ < steps.size()) steps[next_++](*this);
        if (next_ < steps.size()) ::PostMessageW(Handle(), kStep, 0, 0);
        result = 0;
        return TRUE;
    }

private:
    static constexpr UINT kStep = WM_APP + 7;
    size_t next_ = 0;
};

TEST(WizardContainer, PageRemovedDuringItsNextPressGivesWayToTheFollowingPage) {
    Page first(7701), second(7702), third(7703);
    second.removeOnNext = true;
    ScriptedSheet sheet;
    for (Page* page : {&first, &second, &third}) sheet.AddPage(page);
    std::vector<const zel::CPropertyPageBase*> seen;
    int countAfter = 0;
    sheet.steps = {
        [&](ScriptedSheet& s) { seen.push_back(s.GetActivePage()); s.PressNext(); },
        [&](ScriptedSheet& s) { seen.push_back(s.GetActivePage()); s.PressNext(); },
        // The press may itself be a posted message: one turn for it to finish.
        [&](ScriptedSheet&) {},
        [&](ScriptedSheet& s) {
            seen.push_back(s.GetActivePage());
            countAfter = s.PageCount();
            s.PressBack();
        },
        [&](ScriptedSheet& s) {
            seen.push_back(s.GetActivePage());
            s.EndDialog(IDOK);
        },
    };
    EXPECT_EQ(sheet.DoModal(), IDOK);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0], &first);
    EXPECT_EQ(seen[1], &second);
    EXPECT_EQ(seen[2], &third);
    EXPECT_EQ(countAfter, 2);
    // Back skips the removed page.
    EXPECT_EQ(seen[3], &first);
    EXPECT_EQ(sheet.PageIndex(&second), -1);
}

TEST(WizardContainer, NextAnsweredWithMinusOneStaysAndFinishEndsTheRun) {
    Page first(7701), second(7702);
    first.stayOnNext = true;
    ScriptedSheet sheet;
    sheet.AddPage(&first);
    sheet.AddPage(&second);
    const zel::CPropertyPageBase* afterNext = nullptr;
    HWND firstWindow = nullptr;
    sheet.steps = {
        [&](ScriptedSheet& s) {
            firstWindow = first.Handle();
            // The page object is reached from its window.
            EXPECT_EQ(zel::CPropertyPageBase::FromHandle(firstWindow), &first);
            s.PressNext();
        },
        [&](ScriptedSheet& s) {
            afterNext = s.GetActivePage();
            s.PressFinish();
        },
    };
    EXPECT_EQ(sheet.DoModal(), zel::CPropertySheetBase::kFinished);
    EXPECT_EQ(afterNext, &first);
    EXPECT_NE(firstWindow, nullptr);
    EXPECT_EQ(first.Handle(), nullptr);
}

TEST(WizardContainer, WithoutPagesNothingOpens) {
    ScriptedSheet sheet;
    EXPECT_EQ(sheet.DoModal(), -1);
}

}  // namespace
