// "SBTelephonyManager": whether a call is active, ringing or being placed (`call`).
#include "hosts/springboard/device.h"
#include "contract/home_screen.h"
#include "platform/runtime/class_builder.h"

namespace sb {
namespace {

    id sharedTelephonyManager(id, SEL)
    {
        static sv::rt::Ref manager
            = sv::rt::Ref::adopt(sv::rt::alloc(objc_getClass(sv::home::cls::TelephonyManager)));
        return manager.get();
    }

    bool inCall(id, SEL) { return Device::shared().call() == Call::Active; }
    bool incomingCallExists(id, SEL) { return Device::shared().call() == Call::Incoming; }
    bool outgoingCallExists(id, SEL) { return Device::shared().call() == Call::Outgoing; }

} // namespace

void registerTelephonyClasses()
{
    sv::rt::ClassBuilder(sv::home::cls::TelephonyManager)
        .classMethod(sv::home::sel::sharedTelephonyManager, &sharedTelephonyManager)
        .method(sv::home::sel::inCall, &inCall)
        .method(sv::home::sel::incomingCallExists, &incomingCallExists)
        .method(sv::home::sel::outgoingCallExists, &outgoingCallExists)
        .registerClass();
}

} // namespace sb
