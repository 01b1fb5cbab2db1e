#include "app/TsmMain.h"

#include "app/CrashFaults.h"
#include "app/OwnAddress.h"
#include "app/VArgParser.h"
#include "app/VLatencyMonitor.h"
#include "app/VQuitOnSignal.h"
#include "Core/Corvid/Framework/EventSystem/VDeferredActionEventHandler.h"
#include "Core/Corvid/Framework/EventSystem/VEventManagerQt.h"
#include "devices/camera/VFakeDeviceCameraX2D.h"
#include "devices/camera/VFakeDeviceCameraX2DParsed.h"
#include "devices/IFakeDevice.h"
#include "devices/loading/VTrialLoader.h"
#include "devices/syncunit/VFakeDeviceNetX1D.h"
#include "devices/syncunit/VFakeDeviceNetX2D.h"
#include "devices/VDeviceConnectionServices.h"
#include "net/LocalAddresses.h"
#include "devices/VFakeDeviceManager.h"
#include "devices/VFaultPlan.h"
#include "net/VNetAddress.h"
#include "params/ParamAccess.h"
#include "streamclient/VFakeZtCGClient.h"

#include <QCoreApplication>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace
{

constexpr int kExitRejected = 1;

const char* const kUsage = "Usage : tsm [-localip <local_ip_address>] [-halip <hal_ip_address>] "
                           "[-x1d <trial.x1d>] [-x2d <trial.x2d>]";

/// The five options of the command line, and our "-latency" and "-faults" after them, with
/// their defaults.
struct VTsmOptions
{
    std::string m_LocalIp;
    std::string m_HalIp;
    std::string m_X1D;
    std::string m_X2D;
    bool m_Crash = false;
    std::string m_Latency;
    std::string m_Faults;

    void Declare(VArgParser& parser)
    {
        parser.AddText("-localip", "Local IP address", &m_LocalIp);
        parser.AddText("-halip", "HAL IP address", &m_HalIp);
        parser.AddText("-x1d", "X1D File to run", &m_X1D);
        parser.AddText("-x2d", "X2D File to run", &m_X2D);
        parser.AddFlag("-crash", "trigger a crash", &m_Crash);
        parser.AddText("-latency", "Latency stream <host:port> (an addition)", &m_Latency);
        parser.AddText("-faults", "Faults \"key=value,...\" (an addition)", &m_Faults);
    }
};

/// Reads an address option: empty means this machine's own address, anything
/// else must be a dotted quad and nothing more.
bool ReadAddress(const std::string& text, VNetAddress& address)
{
    if (text.empty())
    {
        address = ResolveOwnAddress();
        return true;
    }
    return address.FromString(text);
}

/// The class definition lists of the device classes that trial files make, registered
/// in this order for the run and released in the same order. The synthetic classes'
/// lists are not registered here: whoever makes synthetic devices registers them.
class VRegisteredDeviceClasses
{
public:
    VRegisteredDeviceClasses()
    {
        for (VDeviceClassDefinitions* definitions : kClasses)
        {
            if (definitions->Register() == nullptr)
                std::fprintf(stderr, "The device class definitions could not be made\n");
        }
    }
    ~VRegisteredDeviceClasses()
    {
        for (VDeviceClassDefinitions* definitions : kClasses)
            definitions->Release();
    }
    VRegisteredDeviceClasses(const VRegisteredDeviceClasses&) = delete;
    VRegisteredDeviceClasses& operator=(const VRegisteredDeviceClasses&) = delete;

private:
    // The trial-file camera, the prepared-trial camera, the X1D sync unit, the X2D sync unit.
    static constexpr VDeviceClassDefinitions* kClasses[] = {
        &VFakeDeviceCameraX2DDefinitions, &VFakeDeviceCameraX2DParsedDefinitions,
        &VFakeDeviceNetX1DDefinitions, &VFakeDeviceNetX2DDefinitions};
};

} // namespace

uint32_t ConnectEveryDevice(VFakeDeviceManager& manager)
{
    uint32_t connected = 0;
    const uint32_t count = manager.GetDeviceCount();
    for (uint32_t index = 0; index < count; ++index)
    {
        const std::shared_ptr<IFakeDevice> device = manager.GetDevice(index);
        IParamList* params = device != nullptr ? device->GetParamList() : nullptr;
        if (params != nullptr && SetParamValue<bool>(*params, "Connected", true, true))
            ++connected;
    }
    return connected;
}

int RunTsmCL(int argc, char* argv[])
{
    // Every console line leaves at its line end, also into a pipe: the launcher
    // and the scripts read tsmCL's output through one.
    std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);

    QCoreApplication application(argc, argv);
    // Qt adopts the environment's locale; numbers must keep their point.
    std::setlocale(LC_NUMERIC, "C");
    // From here on SIGINT and SIGTERM end the event loop, so teardown runs; one
    // that arrives during start-up ends it as soon as it starts.
    const VQuitOnSignal quitOnSignal;

    std::printf("tsmCL %s - simulated motion-capture devices\n", TSM_VERSION);

    // Parameter changes that other threads request run on this thread, through
    // the event manager and the loop below. Released in reverse order on every
    // exit, after the device manager.
    auto eventManager = std::make_unique<VEventManagerQt>();
    auto deviceClasses = std::make_unique<VRegisteredDeviceClasses>();
    auto deferredActions = std::make_unique<VDeferredActionEventHandler>(eventManager.get());

    VTsmOptions options;
    VArgParser parser;
    options.Declare(parser);
    // argv as given, not QCoreApplication::arguments(): paths keep their exact bytes.
    const std::vector<std::string> args(argv, argv + argc);
    parser.SetVersion(std::string("tsmCL ") + TSM_VERSION);
    if (parser.Parse(args, stdout, stderr) != VArgParser::EParseResult::Parsed)
        return 0;

    if (options.m_Crash)
    {
        std::printf("Crashing\n");
        const char* kindText = std::getenv("TSM_CRASH");
        std::optional<ECrashKind> kind = CrashKindFromText(kindText != nullptr ? kindText : "");
        if (!kind)
        {
            std::fprintf(stderr,
                         "Warning: TSM_CRASH=\"%s\" is none of segv, abort, throw, thread; "
                         "raising segv\n",
                         kindText);
            kind = ECrashKind::SegmentationFault;
        }
        RaiseCrash(*kind);
    }

    VNetAddress localAddress;
    if (!ReadAddress(options.m_LocalIp, localAddress))
    {
        std::fprintf(stderr, "Unknown local IP address %s\n", options.m_LocalIp.c_str());
        std::printf("%s", kUsage);
        return kExitRejected;
    }
    VNetAddress halAddress;
    if (!ReadAddress(options.m_HalIp, halAddress))
    {
        std::fprintf(stderr, "Unknown HAL IP address %s\n", options.m_HalIp.c_str());
        std::printf("%s", kUsage);
        return kExitRejected;
    }
    std::string latencyHost;
    int32_t latencyPort = 0;
    if (!options.m_Latency.empty() &&
        !ParseLatencyTarget(options.m_Latency, latencyHost, latencyPort))
    {
        std::fprintf(stderr, "Unknown latency stream %s (expected <host>:<port>)\n",
                     options.m_Latency.c_str());
        std::printf("%s", kUsage);
        return kExitRejected;
    }
    VFaultPlan faults;
    std::string faultsError;
    if (!options.m_Faults.empty() && !VFaultPlan::Parse(options.m_Faults, faults, faultsError))
    {
        std::fprintf(stderr, "Unknown faults \"%s\": %s\n", options.m_Faults.c_str(),
                     faultsError.c_str());
        std::printf("%s", kUsage);
        return kExitRejected;
    }
    if (options.m_X1D.empty() && options.m_X2D.empty())
    {
        std::printf("%s", kUsage);
        return kExitRejected;
    }

    std::printf("Local IP: %s\n", localAddress.ToString().c_str());
    std::printf("HAL   IP: %s\n", halAddress.ToString().c_str());
    // The devices bind their sockets to the local address, so that rigs on several
    // addresses of one machine keep apart; one elsewhere can only fall back to every address.
    if (!IsOwnAddress(localAddress.GetNetworkOrder()))
        std::fprintf(stderr,
                     "Warning: the local address %s is not one of this machine's; the devices "
                     "listen and send on every address\n",
                     localAddress.ToString().c_str());

    // The broadcast receiver runs from here on.
    // Each device that connects gets its command shell and awake-and-alive sender.
    VFakeDeviceManagerOptions managerOptions;
    managerOptions.m_DeviceServices = std::make_shared<VDeviceConnectionServices>();
    // The devices of the trial files are made by the trial loader.
    managerOptions.m_DeviceLoader = std::make_shared<VTrialLoader>();
    // "-latency" adds the latency stream client.
    managerOptions.m_StreamClientFactory = [events = eventManager.get()]
    { return std::make_shared<VFakeZtCGClient>(events); };
    auto manager =
        std::make_unique<VFakeDeviceManager>(eventManager.get(), localAddress.GetNetworkOrder(),
                                             halAddress.GetNetworkOrder(), managerOptions);

    if (!options.m_X1D.empty())
    {
        std::printf("X1D     : %s\n", options.m_X1D.c_str());
        manager->AddX1D(options.m_X1D);
    }
    if (!options.m_X2D.empty())
    {
        std::printf("X2D     : %s\n", options.m_X2D.c_str());
        manager->AddX2D(options.m_X2D);
    }
    std::unique_ptr<VLatencyMonitor> latency;
    if (!options.m_Latency.empty())
    {
        std::printf("Latency : %s:%d\n", latencyHost.c_str(), latencyPort);
        latency = VLatencyMonitor::Start(*manager, latencyHost, latencyPort);
    }
    std::printf("Press Ctrl-C to quit\n\n\n");

    ConnectEveryDevice(*manager);
    // "-faults": from now on the devices it names inject them; its times count from here.
    if (!options.m_Faults.empty() && manager->ConfigureFaults(faults) == 0 && faults.Device)
        std::fprintf(stderr, "Warning: -faults names device %u, which the trials do not have\n",
                     *faults.Device);

    const int result = application.exec();

    for (const std::string& line : manager->GetInjectedLines())
        std::printf("%s\n", line.c_str());

    if (latency != nullptr)
        std::printf("%s\n", latency->Finish(stderr).c_str());
    latency.reset();

    // The manager stops every device thread, so nothing posts any more when the
    // event system goes.
    manager.reset();
    deferredActions.reset();
    deviceClasses.reset();
    eventManager.reset();
    return result;
}
