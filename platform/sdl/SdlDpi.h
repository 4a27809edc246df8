// The scale an X11 desktop asks programs to draw at, as Windows' dots per inch: what GTK and Qt
// programs on the same desktop follow.
#pragma once

// GDK_SCALE's whole factor (from 1) times 96 when it is set to one; else the Xft.dpi entry of
// the X resources (the root window's RESOURCE_MANAGER text, null when there is none), rounded;
// else 96. Values past 9600 count as unknown.
int DesktopDpi(const char* xResources, const char* gdkScale);
// The DISPLAY's X resources and the GDK_SCALE variable, read once.
int X11DesktopDpi();
