<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>MainWindow</name>
    <message>
        <source>MainWindow</source>
        <translation>MainWindow</translation>
    </message>
    <message>
        <source>toolBar</source>
        <translation>Werkzeugleiste</translation>
    </message>
    <message>
        <source>Info</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>About the application</source>
        <translation>Über das Programm</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>Show help</source>
        <translation>Hilfe anzeigen</translation>
    </message>
    <message>
        <source>Viscosities</source>
        <translation>Viskositäten</translation>
    </message>
    <message>
        <source>Show kinematic viscosities</source>
        <translation>Kinematische Viskositäten anzeigen</translation>
    </message>
    <message>
        <source>Could not open file %1.</source>
        <translation>Die Datei %1 konnte nicht geöffnet werden.</translation>
    </message>
</context>
<context>
    <name>ParameterizeWidget</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>Select a port:</source>
        <translation>Anschluss wählen:</translation>
    </message>
    <message>
        <source>Select a medium:</source>
        <translation>Medium wählen:</translation>
    </message>
    <message>
        <source>Select a medium</source>
        <translation>Medium wählen</translation>
    </message>
    <message>
        <source>Parameterize</source>
        <translation>Parametrieren</translation>
    </message>
    <message>
        <source>Parameterize the device</source>
        <translation>Gerät parametrieren</translation>
    </message>
    <message>
        <source>Could not load the M7Q4-ZEB device file. Please contact support. </source>
        <translation>Die M7Q4-ZEB-Gerätedatei konnte nicht geladen werden. Bitte wenden Sie sich an den Support. </translation>
    </message>
    <message>
        <source>Could not load the media file. Please contact support. </source>
        <translation>Die Mediendatei konnte nicht geladen werden. Bitte wenden Sie sich an den Support. </translation>
    </message>
    <message>
        <source>The connection could not be started. Please try again.</source>
        <translation>Die Verbindung konnte nicht aufgebaut werden. Bitte versuchen Sie es erneut.</translation>
    </message>
    <message>
        <source>Waiting for user</source>
        <translation>Warte auf Benutzer</translation>
    </message>
    <message>
        <source>Only ZEB devices are supported.</source>
        <translation>Es werden nur ZEB-Geräte unterstützt.</translation>
    </message>
</context>
<context>
    <name>Thg::Tilo::Components::Command</name>
    <message>
        <source>No device connected</source>
        <translation>Kein Gerät verbunden</translation>
    </message>
</context>
<context>
    <name>Thg::Tilo::Components::ConnectCommand</name>
    <message>
        <source>Connecting to device</source>
        <translation>Verbindung zum Gerät wird hergestellt</translation>
    </message>
    <message>
        <source>Device already connected</source>
        <translation>Gerät bereits verbunden</translation>
    </message>
</context>
<context>
    <name>Thg::Tilo::Components::CopyrightDialog</name>
    <message>
        <source>Dialog</source>
        <translation>Dialog</translation>
    </message>
    <message>
        <source>Copyright © 2026 the ZEB-Conduit developers. All rights reserved.</source>
        <translation>Copyright © 2026 die Entwickler von ZEB-Conduit. Alle Rechte vorbehalten.</translation>
    </message>
    <message>
        <source>This software uses the following open-source components:</source>
        <translation>Diese Software verwendet die folgenden Open-Source-Komponenten:</translation>
    </message>
    <message>
        <source>About </source>
        <translation>Über </translation>
    </message>
</context>
<context>
    <name>Thg::Tilo::Components::DeviceConnector</name>
    <message>
        <source>No device has been selected</source>
        <translation>Es wurde kein Gerät ausgewählt</translation>
    </message>
</context>
<context>
    <name>Thg::Tilo::Components::DisconnectCommand</name>
    <message>
        <source>Disconnecting from device</source>
        <translation>Verbindung zum Gerät wird getrennt</translation>
    </message>
</context>
<context>
    <name>Thg::Tilo::Components::ExecuteCommandWidget</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>&amp;Execute</source>
        <translation>&amp;Ausführen</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warnung</translation>
    </message>
    <message>
        <source>Waiting for user</source>
        <translation>Warte auf Benutzer</translation>
    </message>
    <message>
        <source>Success</source>
        <translation>Erfolgreich</translation>
    </message>
</context>
<context>
    <name>Thg::Tilo::Components::ParameterizeCommand</name>
    <message>
        <source>Parameterizing</source>
        <translation>Parametrierung</translation>
    </message>
    <message>
        <source>Value for parameter %1 is invalid: %2</source>
        <translation>Wert für Parameter %1 ist ungültig: %2</translation>
    </message>
    <message>
        <source>No parameters found for the connected device and version.</source>
        <translation>Für das verbundene Gerät und seine Version wurden keine Parameter gefunden.</translation>
    </message>
    <message>
        <source>The parameters for the connected device version are empty, only the subdevice will be parameterized.</source>
        <translation>Die Parameter für die Version des verbundenen Geräts sind leer, nur das Untergerät wird parametriert.</translation>
    </message>
    <message>
        <source>The parameters for the connected subdevice version are empty, only the device will be parameterized.</source>
        <translation>Die Parameter für die Version des verbundenen Untergeräts sind leer, nur das Gerät wird parametriert.</translation>
    </message>
    <message>
        <source>No parameter for serial number found in device description.</source>
        <translation>In der Gerätebeschreibung wurde kein Parameter für die Seriennummer gefunden.</translation>
    </message>
    <message>
        <source>Ignoring serial number: Value is invalid: %1</source>
        <translation>Seriennummer wird ignoriert: Wert ist ungültig: %1</translation>
    </message>
    <message>
        <source>Writing serial number</source>
        <translation>Seriennummer wird geschrieben</translation>
    </message>
</context>
<context>
    <name>Thg::Tilo::Components::ProgressBarWidget</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>Waiting for user</source>
        <translation>Warte auf Benutzer</translation>
    </message>
</context>
<context>
    <name>Thg::Tilo::Components::ReadParametersCommand</name>
    <message>
        <source>Reading parameters</source>
        <translation>Parameter werden gelesen</translation>
    </message>
</context>
<context>
    <name>Thg::Tilo::Components::RestartDeviceCommand</name>
    <message>
        <source>Restarting device</source>
        <translation>Gerät wird neu gestartet</translation>
    </message>
</context>
<context>
    <name>Thg::Tilo::Components::SerialPortWidget</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>Select a port</source>
        <translation>Anschluss wählen</translation>
    </message>
    <message>
        <source>Connect device</source>
        <translation>Gerät verbinden</translation>
    </message>
    <message>
        <source>&amp;Connect</source>
        <translation>&amp;Verbinden</translation>
    </message>
</context>
<context>
    <name>Thg::Tilo::Components::SetAsFactoryDefaultsCommand</name>
    <message>
        <source>Setting parameters as factory defaults</source>
        <translation>Parameter werden als Werkseinstellungen gespeichert</translation>
    </message>
</context>
<context>
    <name>Thg::Tilo::Components::WriteParametersCommand</name>
    <message>
        <source>Writing parameters</source>
        <translation>Parameter werden geschrieben</translation>
    </message>
    <message>
        <source>The parameters are empty.</source>
        <translation>Die Parameter sind leer.</translation>
    </message>
    <message>
        <source>No device is connected but parameters are not empty.</source>
        <translation>Kein Gerät verbunden, aber die Parameter sind nicht leer.</translation>
    </message>
    <message>
        <source>No subdevice is connected but parameters are not empty.</source>
        <translation>Kein Untergerät verbunden, aber die Parameter sind nicht leer.</translation>
    </message>
</context>
</TS>
