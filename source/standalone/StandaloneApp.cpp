// The app: JUCE's standalone window around the plug-in, set up as JUCE's own default app
// does (audio device settings and the plug-in's state remembered in Vantorel.settings), plus
// what a desktop app owes its user: a clean quit when the session ends it with SIGTERM, a
// one-line error instead of a crash where there is no display, and --help and --version.

#include <juce_audio_plugin_client/juce_audio_plugin_client.h>
#include <juce_audio_utils/juce_audio_utils.h>
#include <juce_gui_extra/juce_gui_extra.h>

#include <juce_audio_plugin_client/Standalone/juce_StandaloneFilterWindow.h>

#include "gui/WindowManagerAtoms.h"

#include <iostream>

#if JUCE_LINUX
 #include <csignal>
 #include <fcntl.h>
 #include <unistd.h>
#endif

namespace
{
#if JUCE_LINUX
    /** Turns SIGTERM into a request to quit on the message thread. The handler only writes a
        byte into a pipe, which is all a signal handler may safely do; the message loop
        watches the other end. */
    class TerminationRequests
    {
    public:
        explicit TerminationRequests (std::function<void()> onRequest)
        {
            if (::pipe2 (fds, O_CLOEXEC | O_NONBLOCK) != 0)
                return;

            writeEnd = fds[1];

            struct sigaction action = {};
            action.sa_handler = [] (int)
            {
                const char byte = 1;
                [[maybe_unused]] const auto written = ::write (writeEnd, &byte, 1);
            };
            sigemptyset (&action.sa_mask);
            action.sa_flags = SA_RESTART;
            ::sigaction (SIGTERM, &action, &previous);

            juce::LinuxEventLoop::registerFdCallback (fds[0], [onRequest] (int fd)
            {
                char bytes[16];
                while (::read (fd, bytes, sizeof (bytes)) > 0)
                {
                }
                onRequest();
            });
        }

        ~TerminationRequests()
        {
            if (fds[0] < 0)
                return;

            ::sigaction (SIGTERM, &previous, nullptr);
            juce::LinuxEventLoop::unregisterFdCallback (fds[0]);
            writeEnd = -1;
            ::close (fds[0]);
            ::close (fds[1]);
        }

    private:
        static inline volatile std::sig_atomic_t writeEnd = -1;
        int fds[2] = { -1, -1 };
        struct sigaction previous = {};
    };
#endif

    constexpr const char* usage =
        "Usage: " JucePlugin_Name " [--help | --version]\n"
        "Runs the " JucePlugin_Name " delay on the sound card, in a window with its panel.\n"
        "The Options button picks the audio system (ALSA or JACK), the devices, the sample\n"
        "rate and the buffer size; they are remembered for the next start.\n";
} // namespace

class VantorelApp : public juce::JUCEApplication
{
public:
    VantorelApp()
    {
        juce::PropertiesFile::Options options;
        options.applicationName = getApplicationName();
        options.filenameSuffix = ".settings";
        options.osxLibrarySubFolder = "Application Support";
#if JUCE_LINUX || JUCE_BSD
        options.folderName = "~/.config";
#endif
        appProperties.setStorageParameters (options);
    }

    const juce::String getApplicationName() override { return JucePlugin_Name; }
    const juce::String getApplicationVersion() override { return JucePlugin_VersionString; }
    bool moreThanOneInstanceAllowed() override { return true; }
    void anotherInstanceStarted (const juce::String&) override {}

    void initialise (const juce::String& commandLine) override
    {
        const auto arguments = juce::StringArray::fromTokens (commandLine, true);

        if (arguments.contains ("--version"))
            return finishEarly (0, juce::String (JucePlugin_Name " ") + JucePlugin_VersionString + "\n");

        if (arguments.contains ("--help") || arguments.contains ("-h"))
            return finishEarly (0, usage);

        if (! arguments.isEmpty())
            return finishEarly (2, "unknown option '" + arguments[0] + "'\n" + usage);

        // Without a display JUCE would crash putting the window on screen.
        if (juce::Desktop::getInstance().getDisplays().getPrimaryDisplay() == nullptr)
            return finishEarly (1, juce::String (JucePlugin_Name ": cannot open a display (is DISPLAY set?)\n"));

        // A display with no window manager lacks atoms JUCE names when it makes the window.
        ensureWindowManagerAtoms();

#if JUCE_LINUX
        terminationRequests = std::make_unique<TerminationRequests> ([this] { systemRequestedQuit(); });
#endif

        mainWindow = std::make_unique<juce::StandaloneFilterWindow> (
            getApplicationName(),
            juce::LookAndFeel::getDefaultLookAndFeel().findColour (juce::ResizableWindow::backgroundColourId),
            appProperties.getUserSettings(),
            false);

        mainWindow->setVisible (true);
    }

    void shutdown() override
    {
#if JUCE_LINUX
        terminationRequests = nullptr;
#endif
        mainWindow = nullptr;
        appProperties.saveIfNeeded();
    }

    void systemRequestedQuit() override
    {
        if (mainWindow != nullptr)
            mainWindow->pluginHolder->savePluginState();

        // A dialog (the audio settings, a file chooser) is dismissed first, then quit again.
        if (juce::ModalComponentManager::getInstance()->cancelAllModalComponents())
        {
            juce::Timer::callAfterDelay (100, []
            {
                if (auto* app = juce::JUCEApplicationBase::getInstance())
                    app->systemRequestedQuit();
            });
        }
        else
        {
            quit();
        }
    }

private:
    void finishEarly (int exitCode, const juce::String& message)
    {
        (exitCode == 0 ? std::cout : std::cerr) << message << std::flush;
        setApplicationReturnValue (exitCode);
        quit();
    }

    juce::ApplicationProperties appProperties;
    std::unique_ptr<juce::StandaloneFilterWindow> mainWindow;
#if JUCE_LINUX
    std::unique_ptr<TerminationRequests> terminationRequests;
#endif
};

START_JUCE_APPLICATION (VantorelApp)
