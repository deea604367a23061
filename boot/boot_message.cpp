#include "boot_message.h"

const char BOOT_MESSAGE_CAPTION[] = "Quorvex Kestrun Tool";
const char MESSAGE_NOT_CONNECTED[] = "USB device not connected:\nCan't detect the corresponding USB device!";
const char MESSAGE_KESTRUN_ERROR[] = "Quorvex Kestrun Error!";
const char MESSAGE_READ_INFO_ERROR[] = "Read Info Error!";
const char MESSAGE_NAME_NOT_PASSABLE[] = "This file's name cannot be passed to the boot library.\nRename it.";
