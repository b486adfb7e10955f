#include "session/CounterSession.h"

#include "adc/InterfaceCatalogue.h"
#include "common/IniReaders.h"
#include "counting/SettingsFile.h"
#include "platform/AtomicFile.h"
#include "platform/MillisecondClock.h"
#include "platform/ProfileFile.h"
#include "platform/Prompts.h"
#include "session/EventCommands.h"
#include "session/LinkServer.h"
#include "session/MainView.h"
#include "session/RunFollower.h"

#include <QFileInfo>

namespace {
constexpr int TestIntervalMs = 2000;
const QString General = QStringLiteral("General");

// The registry area of this rig; the per-user one of earlier versions moves
// into the first rig that opens.
QString rigRegistry(const CounterSession::Environment& environment) {
    const ProgramFolderChoice& folder = environment.folder;
    const QString rig = RegistryArea::rigPath(
        environment.configFolder, folder.requested.isEmpty() ? folder.folder : folder.requested,
        folder.baseName);
    RegistryArea::takeOver(RegistryArea::defaultPath(environment.configFolder, folder.baseName),
                           rig);
    return rig;
}
} // namespace

CounterSession::CounterSession(Environment environment, Prompts& prompts,
                               const MillisecondClock& clock, QObject* parent)
    : CounterSession(std::move(environment), prompts, clock, nullptr, parent) {}

CounterSession::CounterSession(Environment environment, Prompts& prompts,
                               const MillisecondClock& clock, LibadxDevices& devices,
                               QObject* parent)
    : CounterSession(std::move(environment), prompts, clock, &devices, parent) {}

CounterSession::CounterSession(Environment environment, Prompts& prompts,
                               const MillisecondClock& clock, LibadxDevices* devices,
                               QObject* parent)
    : QObject(parent), m_environment(std::move(environment)), m_prompts(prompts), m_clock(clock),
      m_settings(m_environment.folder.settingsPath(), m_problems),
      m_registry(rigRegistry(m_environment)),
      m_hosts(devices ? nullptr : std::make_unique<DeviceHosts>(m_settings.file(), prompts, clock)),
      m_devices(devices ? *devices : *m_hosts),
      m_adc(clock, m_registry, prompts, m_environment.configFolder, m_devices),
      m_exchange(m_environment.tempFolder, m_problems, clock),
      m_trigger(m_environment.tempFolder, m_problems, clock),
      m_recorder(clock, m_environment.folder.filePath(XtRecorderModel::DataFileBaseName),
                 m_problems) {
    m_adc.ADC_reset();
    m_countingTimer.setInterval(m_environment.countingIntervalMs);
    m_countingTimer.setTimerType(Qt::PreciseTimer);
    m_testTimer.setInterval(TestIntervalMs);
    connect(&m_countingTimer, &QTimer::timeout, this,
            [this] { m_core->Timer_Cyclomarkator_Timer(); });
    connect(&m_testTimer, &QTimer::timeout, this, [this] { m_core->CountExtremum(); });
    m_deviceRetryTimer.setInterval(m_environment.countingIntervalMs);
    connect(&m_deviceRetryTimer, &QTimer::timeout, this, &CounterSession::retryDevice);
}

CounterSession::~CounterSession() {
    m_countingTimer.stop();
    m_testTimer.stop();
    m_eventCommands.reset();
    m_problems.setTarget(nullptr);
    m_link.reset();
}

bool CounterSession::LoadSettings() {
    AtomicFile::removeLeftovers(m_settings.path());
    if (m_settings.load() == SettingsStore::Loaded::Unreadable)
        return false;
    const ProfileFile& file = m_settings.file();
    QString interfaceName;
    SettingsFile::LoadSettings(file, m_state, interfaceName);
    m_adc.setInterfaceName(interfaceName);
    m_adc.setDeviceAddress(SettingsFile::readDevice(file));
    m_general.Left = ReadIniSingle(file, General, "Left", 0.0f);
    m_general.Top = ReadIniSingle(file, General, "Top", 0.0f);
    m_general.AlwaysOnTop = ReadIniLong(file, General, "AlwaysOnTop", -1) != 0;
    m_general.ShowRecorder = ReadIniLong(file, General, "ShowRecorder", 0) != 0;
    return true;
}

QString CounterSession::settingsError() const {
    return QStringLiteral("Cannot read the settings file %1: %2 Nothing was changed; make the file "
                          "readable (or move it away) and start again.")
        .arg(m_settings.path(), m_settings.loadError());
}

void CounterSession::Form_Load(MainView& view) {
    // Every caption passes the link's record of them on its way to the view.
    m_captions.setView(view);
    m_view = &m_captions;
    m_problems.setTarget(&m_captions);
    // The chart of the last run is read before anything could save over it.
    m_recorder.loadOnce();
    CounterCore::Parts parts{m_adc,      m_exchange, m_trigger,  m_recorder,
                             m_settings, m_clock,    m_captions, &m_scheduler};
    m_core = std::make_unique<CounterCore>(m_state, parts);
    const ProgramFolderChoice& folder = m_environment.folder;
    m_eventCommands = std::make_unique<EventCommands>(
        *m_core, m_captions,
        EventCommands::Rig{
            QFileInfo(folder.requested.isEmpty() ? folder.folder : folder.requested).fileName(),
            folder.folder, m_linkServiceName});
    m_core->setWatchListener(this);
    m_core->setAlwaysOnTop(m_general.AlwaysOnTop);
    m_view->setCountText(versionLabel());
    m_exchange.ADCFile_open();
    m_core->openTriggerFile();
}

void CounterSession::start() {
    m_adc.ADC_reset();
    // A name the catalogue does not know opens nothing but stays in the
    // settings file: the rig's configuration outlives a missing device.
    const QString configuredName = m_adc.interfaceName();
    QString configured = configuredName;
    const int32_t number = m_adc.ADC_interface_number(configured);
    const QString name = m_adc.ADC_catalogue_name(number);
    m_view->setStatus(name);
    m_adc.setReady(InitADInterface(name));
    if (number != InterfaceCatalogue::None && !m_adc.ready()) {
        m_prompts.messageBox(QStringLiteral("Cannot initialize A/D-Interface\n\"%1\"").arg(name),
                             QStringLiteral("A/D-Converter"), PromptIcon::Critical);
        m_adc.ADC_reset();
        // A device that is not there yet (a boot race, a file still to come)
        // is looked for again until it is, as a Modbus module is reached.
        if (AdcFacade::IsDeviceInterface(number)) {
            m_awaitedInterface = number;
            m_lastDeviceTry = m_clock.timeGetTime();
            m_deviceRetryTimer.start();
        }
    }
    showInterfaceStatus(name, number == InterfaceCatalogue::None ? howToChoose(configuredName)
                                                                 : QString());
    if (m_adc.ready())
        m_core->takeFirstReading();
    m_core->showCounters();
    m_view->setTitle(QStringLiteral("Cyclomarkator"));
    if (!m_linkServiceName.isEmpty() && !m_link) {
        m_link =
            std::make_unique<LinkServer>(static_cast<LinkTarget&>(*this),
                                         LinkServer::Options{m_linkServiceName, m_linkBusAddress});
        m_captions.onItemChanged = [this] { m_link->itemsChanged(); };
        m_captions.chosenChannel = [this] { return m_state.ADChannel; };
        m_link->start();
    }
    if (m_follower)
        m_follower->runStarted();
}

// A first start counts nothing until a converter is chosen; the status line
// says so and how, once, for the window and the headless run alike.
QString CounterSession::howToChoose(const QString& configured) const {
    const QString why =
        configured.isEmpty() || configured == m_adc.ADC_catalogue_name(InterfaceCatalogue::None)
            ? QStringLiteral("No A/D converter is chosen")
            : QStringLiteral("The A/D converter \"%1\" is not known here").arg(configured);
    return why + QStringLiteral(", so nothing is counted. Choose one in File > Setup..., with key "
                                "A/D-Converter in section [HARDWARE] of %1 while the program is "
                                "not running, or with --converter NAME [--device ADDRESS] "
                                "(--list-converters shows the names).")
                     .arg(m_settings.path());
}

// Where the settings really go, and what went wrong while loading (a chart
// refused, a file that cannot be written), matter more than the interface
// name: the status line keeps them in sight.
// Where the settings really go, and what went wrong while loading (a chart
// refused, a file that cannot be written), matter more than the interface
// name: the status line keeps them in sight.
void CounterSession::showInterfaceStatus(const QString& name, const QString& choose) {
    QString status = name;
    if (m_deviceRetryTimer.isActive())
        status += QStringLiteral(" - not there yet; looked for again every %1 s")
                      .arg(DeviceRetryMs / 1000);
    for (const QString& more : {m_environment.folder.message, m_problems.lastReported(), choose}) {
        if (!more.isEmpty())
            status += QStringLiteral(" - ") + more;
    }
    if (m_adc.ready() && m_problems.lastReported().isEmpty()) {
        m_view->setStatus(status, StatusColour::Green, StatusColour::Black);
    } else {
        m_view->setStatus(status, StatusColour::Red, StatusColour::White);
    }
}

// Quietly: the start said once why the device could not be opened, and
// nobody waits here for a box.
void CounterSession::retryDevice() {
    if (m_unloaded || m_adc.ready()) {
        m_deviceRetryTimer.stop();
        return;
    }
    const int32_t now = m_clock.timeGetTime();
    if (static_cast<int32_t>(static_cast<uint32_t>(now) - static_cast<uint32_t>(m_lastDeviceTry)) <
        DeviceRetryMs)
        return;
    m_lastDeviceTry = now;
    const QString name = m_adc.ADC_catalogue_name(m_awaitedInterface);
    QString opened = name;
    m_devices.setQuiet(true);
    const bool there = m_adc.ADC_open(opened);
    m_devices.setQuiet(false);
    m_adc.ADC_reset();
    if (!there)
        return;
    m_deviceRetryTimer.stop();
    m_adc.setReady(InitADInterface(name));
    m_view->setTitle(QStringLiteral("Cyclomarkator"));
    showInterfaceStatus(name);
    if (m_adc.ready())
        m_core->takeFirstReading();
}

bool CounterSession::InitADInterface(const QString& name) {
    m_adc.ADC_reset();
    QString opened = name;
    m_adc.setReady(m_adc.ADC_open(opened));
    const bool ready = m_adc.ready();
    m_view->setVoltageText(QStringLiteral("-----"), false);

    QStringList channels;
    for (int32_t ch = 0; ch < m_adc.ADC_channels(); ++ch)
        channels << m_adc.ADC_channel_name(ch);
    const int selected =
        m_state.ADChannel >= 0 && m_state.ADChannel < channels.size() ? m_state.ADChannel : -1;
    m_view->setChannelList(channels, selected);

    if (ready)
        m_countingTimer.start();
    else
        m_countingTimer.stop();

    if (!ready)
        m_view->setTitle(u'(' + name + u')');
    else if (m_adc.ADC_winrt_device() >= 0)
        m_view->setTitle(name + QStringLiteral(" = WinRTDev. ") +
                         QString::number(m_adc.ADC_winrt_device()));
    else
        m_view->setTitle(name);
    return ready;
}

void CounterSession::mnuReset_Click() {
    m_core->resetCount();
}

void CounterSession::mnuTrigMan_Click() {
    m_core->SignalTrigger(1);
}

void CounterSession::setTestMode(bool on) {
    if (on)
        m_testTimer.start();
    else
        m_testTimer.stop();
    m_view->setTestMode(on);
}

void CounterSession::setAlwaysOnTop(bool on) {
    m_general.AlwaysOnTop = on;
    if (m_core)
        m_core->setAlwaysOnTop(on);
}

void CounterSession::pauseCountingForSetup() {
    m_readyBeforeSetup = m_adc.ready();
    m_countingTimer.stop();
    // A person chooses now, and is told what does not open.
    m_deviceRetryTimer.stop();
}

void CounterSession::resumeCountingAfterSetup() {
    // The run may have ended while the dialog was open (a termination signal).
    if (m_unloaded)
        return;
    if (m_adc.ready()) {
        m_countingTimer.start();
        return;
    }
    if (m_readyBeforeSetup && m_view) {
        m_view->setVoltageText(QStringLiteral("-----"), false);
        m_view->setStatus(m_adc.ADC_catalogue_name(InterfaceCatalogue::None), StatusColour::Red,
                          StatusColour::White);
    }
}

void CounterSession::Combo_AD_channel_Click(int index) {
    m_core->selectChannel(index);
    m_captions.channelChosen();
}

void CounterSession::Form_Unload(const GeneralSettings& window) {
    if (m_unloaded || !m_core)
        return;
    m_unloaded = true;
    m_countingTimer.stop();
    m_testTimer.stop();
    m_deviceRetryTimer.stop();
    // Clients learn first that the counter is going, so none of them changes
    // anything after the last save.
    if (m_link)
        m_link->shutdown();
    if (m_follower)
        m_follower->runEnding();
    // A trigger that fell due must still reach the flag file.
    m_scheduler.flush();
    m_exchange.ADCFile_close();
    m_trigger.CloseTriggerFile();
    m_adc.ADC_close();
    m_adc.ADC_reset();
    m_devices.unloadHosts();
    m_core->setAlwaysOnTop(window.AlwaysOnTop);
    m_core->SaveSettings();
    writeGeneralSettings(window);
    m_recorder.unload();
}

void CounterSession::writeGeneralSettings(const GeneralSettings& window) {
    m_general = window;
    m_settings.save([&window](ProfileFile& file) {
        file.writeString(General, "Left", QString::number(window.Left, 'g', 10));
        file.writeString(General, "Top", QString::number(window.Top, 'g', 10));
        file.writeString(General, "AlwaysOnTop", QString::number(window.AlwaysOnTop ? -1 : 0));
        file.writeString(General, "ShowRecorder", QString::number(window.ShowRecorder ? -1 : 0));
    });
}

QString CounterSession::versionLabel() {
    return QStringLiteral("V%1.%2.%3")
        .arg(CYCLO_VERSION_MAJOR)
        .arg(CYCLO_VERSION_MINOR)
        .arg(CYCLO_VERSION_PATCH);
}

QString CounterSession::versionMessage() const {
    return QStringLiteral("%1\nVersion:  %2.%3.%4    20. Jun. 2010 (R)")
        .arg(QFileInfo(m_environment.executablePath).absoluteFilePath())
        .arg(CYCLO_VERSION_MAJOR)
        .arg(CYCLO_VERSION_MINOR, 2, 10, QLatin1Char('0'))
        .arg(CYCLO_VERSION_PATCH, 2, 10, QLatin1Char('0'));
}

void CounterSession::setLink(const QString& serviceName, const QString& busAddress) {
    m_linkServiceName = serviceName;
    m_linkBusAddress = busAddress;
}

void CounterSession::reportProblem(const QString& text) {
    if (m_view)
        m_view->reportProblem(text);
    else
        m_problems.reportProblem(text);
}

void CounterSession::reportRecovery(const QString& text) {
    if (m_view)
        m_view->reportRecovery(text);
}

// The link's view of the program.

std::optional<QString> CounterSession::linkCaption(const QString& name) const {
    return m_captions.caption(name);
}

bool CounterSession::linkSetCount(int32_t count) {
    return m_core && !m_unloaded && m_core->changeCount(count);
}

void CounterSession::linkSetCommandText(const QString& text) {
    m_view->setCommandText(text);
}

void CounterSession::linkShowCommand(const QString& text) {
    m_view->showLinkCommand(text);
}

// "STOP" ends at once: nothing is counted after it. The unload that follows
// writes the settings and the chart atomically, as every end does, so that
// the settings changed since the last counted extremum are not lost.
void CounterSession::linkStop() {
    m_countingTimer.stop();
    m_testTimer.stop();
    Q_EMIT endRequested();
}

void CounterSession::linkUnload() {
    Q_EMIT endRequested();
}

void CounterSession::linkStateChanged(LinkLamp lamp, bool locked, const QString& toolTip) {
    m_view->setLinkLamp(lamp, toolTip);
    m_view->setLinkLocked(locked);
}

void CounterSession::linkProblem(const QString& text) {
    m_view->reportProblem(text);
}

// The link's news carries no colour of its own: news while the link has no
// bus (none at the start, none at its address) is a problem, news with the
// bus (back again, the name taken over) a recovery.
void CounterSession::linkNotice(const QString& text) {
    if (m_link && m_link->connected())
        m_view->reportRecovery(text);
    else
        m_view->reportProblem(text);
}

void CounterSession::watchShown(WatchEvents events) {
    m_captions.setWatch(m_core->watch());
    m_eventCommands->watchShown(events);
}
