// The form framework's real controls on Windows (platform/win32/Controls.cpp): BUTTON windows
// of the right kinds at their places, with their captions and the form's font, whose clicks run
// OnClick and whose radio buttons keep one checked.
#include "platform/Forms.h"

#include <gtest/gtest.h>

#include <string>

namespace {

HWND ControlWindow(const TForm& form, const char* caption) {
    return FindWindowExA(form.Handle(), nullptr, "BUTTON", caption);
}

// The window's rectangle in its form's client coordinates.
RECT PlaceOf(HWND control) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

LONG_PTR KindOf(HWND control) {
    return GetWindowLongPtrA(control, GWL_STYLE) & BS_TYPEMASK;
}

bool Checked(HWND control) {
    return SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// A form like the control window: a push button, and a group box with two radio buttons.
struct ControlForm : ::testing::Test {
    ControlForm() : form(nullptr, bsSingle) {
        button = new TButton(&form, &form);
        button->SetBounds(192, 15, 96, 25);
        button->SetCaption("Pause");
        button->OnClick = [this](void* sender) { clicks.push_back(sender); };
        group = new TGroupBox(&form, &form);
        group->SetBounds(16, 8, 137, 41);
        group->SetCaption("Channel");
        left = new TRadioButton(&form, group);
        left->SetBounds(16, 16, 49, 17);
        left->SetCaption("Left");
        left->SetChecked(true);
        right = new TRadioButton(&form, group);
        right->SetBounds(64, 16, 49, 17);
        right->SetCaption("Right");
        right->OnClick = [this](void* sender) { clicks.push_back(sender); };
    }
    TForm form;
    TButton* button;
    TGroupBox* group;
    TRadioButton *left, *right;
    std::vector<void*> clicks;
};

TEST_F(ControlForm, ControlsAreButtonWindowsOfTheirKindsAtTheirPlaces) {
    HWND b = ControlWindow(form, "Pause"), g = ControlWindow(form, "Channel");
    HWND l = ControlWindow(form, "Left"), r = ControlWindow(form, "Right");
    ASSERT_TRUE(b && g && l && r);
    EXPECT_EQ(KindOf(b), BS_PUSHBUTTON);
    EXPECT_EQ(KindOf(g), BS_GROUPBOX);
    EXPECT_EQ(KindOf(l), BS_AUTORADIOBUTTON);
    EXPECT_EQ(PlaceOf(b).left, 192);
    EXPECT_EQ(PlaceOf(b).bottom, 40);
    // The radio buttons sit in the group box, whose place counts from the form.
    EXPECT_EQ(PlaceOf(r).left, 16 + 64);
    EXPECT_EQ(PlaceOf(r).top, 8 + 16);
    group->SetBounds(20, 10, 137, 41);
    EXPECT_EQ(PlaceOf(r).left, 20 + 64) << "the controls inside move with the group box";
    EXPECT_EQ(PlaceOf(r).top, 10 + 16);
    // Only the first radio button starts a group.
    EXPECT_NE(GetWindowLongPtrA(l, GWL_STYLE) & WS_GROUP, 0);
    EXPECT_EQ(GetWindowLongPtrA(r, GWL_STYLE) & WS_GROUP, 0);

    button->SetCaption("Continue");
    EXPECT_EQ(ControlWindow(form, "Continue"), b);
}

TEST_F(ControlForm, ControlsTakeTheFormsFontAndItsChanges) {
    HWND b = ControlWindow(form, "Pause"), r = ControlWindow(form, "Right");
    EXPECT_EQ(SendMessageA(b, WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(form.Font()));
    form.SetFont("Tahoma", -13);
    EXPECT_EQ(SendMessageA(b, WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(form.Font()));
    EXPECT_EQ(SendMessageA(r, WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(form.Font()));
}

TEST_F(ControlForm, TheActiveControlHasTheKeyboardFocus) {
    form.Show();
    form.SetActiveControl(right);
    EXPECT_EQ(GetFocus(), ControlWindow(form, "Right"));
    EXPECT_EQ(form.ActiveControl(), right);
    form.SetActiveControl(button);
    EXPECT_EQ(GetFocus(), ControlWindow(form, "Pause"));
}

TEST_F(ControlForm, AClickRunsOnClickAndChecksOneRadioButton) {
    HWND l = ControlWindow(form, "Left"), r = ControlWindow(form, "Right");
    EXPECT_TRUE(Checked(l));
    EXPECT_FALSE(Checked(r));

    SendMessageA(ControlWindow(form, "Pause"), BM_CLICK, 0, 0);
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(clicks[0], button);

    SendMessageA(r, BM_CLICK, 0, 0);
    ASSERT_EQ(clicks.size(), 2u);
    EXPECT_EQ(clicks[1], right);
    EXPECT_TRUE(right->Checked());
    EXPECT_FALSE(left->Checked());
    EXPECT_TRUE(Checked(r));
    EXPECT_FALSE(Checked(l));

    left->SetChecked(true);
    EXPECT_TRUE(Checked(l));
    EXPECT_FALSE(Checked(r));
    EXPECT_FALSE(right->Checked());
}

} // namespace

// The keyboard through the program's message loop: Tab moves the focus from the push button to
// the checked radio button, and Enter presses the focused push button, as on the other platform.
// A thread timer ends a loop that Enter failed to end.
TEST_F(ControlForm, TheMessageLoopMovesTheFocusAndEnterPressesTheButton) {
    TApplication application;
    application.CreateForm(&form);
    form.SetActiveControl(button);
    HWND b = ControlWindow(form, "Pause");
    button->OnClick = [this](void* sender) {
        clicks.push_back(sender);
        PostQuitMessage(0);
    };
    PostMessageA(b, WM_KEYDOWN, VK_TAB, 0);
    PostQuitMessage(0); // comes once the posted key is taken
    application.Run();
    EXPECT_EQ(GetFocus(), ControlWindow(form, "Left"));
    EXPECT_TRUE(clicks.empty());

    form.SetActiveControl(button);
    const UINT_PTR timer =
        SetTimer(nullptr, 0, 3000, [](HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(1); });
    PostMessageA(b, WM_KEYDOWN, VK_RETURN, 0);
    application.Run();
    KillTimer(nullptr, timer);
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(clicks[0], button);
}
