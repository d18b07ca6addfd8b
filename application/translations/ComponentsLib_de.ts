<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
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
    <name>Thg::Tilo::Components::RestartDeviceCommand</name>
    <message>
        <source>Restarting device</source>
        <translation>Gerät wird neu gestartet</translation>
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
