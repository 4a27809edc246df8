#include "VirtualForms.h"
#include "platform/Capture.h"
#include "platform/Display.h"

#include <gtest/gtest.h>

namespace {

TEST(ComTest, InitialisationIsCountedPerThread) {
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    CoUninitialize();
    CoUninitialize();
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    CoUninitialize();
}

TEST(ComTest, HandsOutObjectsOnlyOnAThreadThatInitialisedIt) {
    VirtualReset();
    void* object = &object;
    EXPECT_EQ(CoCreateInstance(CLSID_DirectDraw, nullptr, CLSCTX_ALL, IID_IDirectDraw, &object),
              CO_E_NOTINITIALIZED);
    EXPECT_EQ(object, nullptr);
    CoInitialize(nullptr);
    CoUninitialize();
    EXPECT_EQ(CoCreateInstance(CLSID_DirectDraw, nullptr, CLSCTX_ALL, IID_IDirectDraw, &object),
              CO_E_NOTINITIALIZED);
}

TEST(ComTest, HandsOutOnlyTheClassesAndInterfacesItHas) {
    VirtualReset();
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    void* object = &object;
    EXPECT_EQ(CoCreateInstance(CLSID_DirectDraw, nullptr, CLSCTX_ALL, IID_IDirectDraw, &object),
              S_OK);
    ASSERT_NE(object, nullptr);
    static_cast<IDirectDraw*>(object)->Release();

    object = &object;
    EXPECT_EQ(
        CoCreateInstance(CLSID_DirectDraw, nullptr, CLSCTX_ALL, IID_IDirectSoundCapture, &object),
        E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    object = &object;
    EXPECT_EQ(CoCreateInstance(IID_IDirectDraw, nullptr, CLSCTX_ALL, IID_IDirectDraw, &object),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(CoCreateInstance(CLSID_DirectDraw, nullptr, CLSCTX_ALL, IID_IDirectDraw, nullptr),
              E_INVALIDARG);
    CoUninitialize();
}

} // namespace
