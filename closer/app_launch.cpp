// The replacement state-change handler.
#include "closer/sleepwright.h"

void Sleepwarden_appLaunch(id self, SEL, id application, int state)
{
    sv::rt::msgSend<void>(self, "SWR_applicationStateChanged:state:", application, state);
}
