#pragma once
// The extension's three identifiers, in one place. The build copies these
// texts into the interface description (and so the type library) and into
// the registration script; the code uses the GUID constants that the
// interface compiler generates from them (Kestrun_Tool_i.h).

#define KESTRUN_CLSID_TEXT "8E16B892-3BB6-4001-B262-8CEDC2A6041D"   // class Quorvex_Kestrun
#define KESTRUN_IID_TEXT   "FF46CEDD-06E0-489C-A6C4-311F1B388C0C"   // interface IQuorvex_Kestrun
#define KESTRUN_LIBID_TEXT "7EB38315-F8D5-48D4-9DF3-97E4DD1F59D3"   // library KESTRUN_TOOLLib

// The packaged File Explorer verb of Kestrun_Tool64.dll (Windows 11's own
// context menu): a class of its own, never the classic handler's. The
// package's manifest declares it; the library's self-registration does not.
#define KESTRUN_COMMAND_CLSID_TEXT "36D8AB1A-DEE3-4977-B538-A6E06AE49F74"   // class Quorvex_KestrunCommand
