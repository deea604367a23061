#include "tool_registration.h"

#include "registry_text.h"

bool ReadLauncherCommand(WIDEPATHBUFFER& szCommand)
{
    return ReadRegisteredCommand(szCommand);
}
