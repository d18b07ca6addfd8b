<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>Thg::Tilo::Communication::Internal::Default</name>
    <message>
        <source>Device didn`t acknowledge command %1</source>
        <translation>Das Gerät hat Befehl %1 nicht bestätigt</translation>
    </message>
</context>
<context>
    <name>Thg::Tilo::Communication::Internal::FirstContact</name>
    <message>
        <source>Could not open com port!</source>
        <translation>COM-Port konnte nicht geöffnet werden!</translation>
    </message>
    <message>
        <source>Could not find the device -&gt; timeout!</source>
        <translation>Gerät nicht gefunden -&gt; Zeitüberschreitung!</translation>
    </message>
    <message>
        <source> Baud: </source>
        <translation> Baud: </translation>
    </message>
    <message>
        <source>y</source>
        <translation>j</translation>
    </message>
    <message>
        <source>n</source>
        <translation>n</translation>
    </message>
    <message>
        <source>Device responded with wrong command. Expected: %1 Received: %2</source>
        <translation>Das Gerät hat mit einem falschen Befehl geantwortet. Erwartet: %1 Empfangen: %2</translation>
    </message>
    <message>
        <source>Device didn`t acknowledge command %1</source>
        <translation>Das Gerät hat Befehl %1 nicht bestätigt</translation>
    </message>
</context>
<context>
    <name>Thg::Tilo::Communication::Internal::Session</name>
    <message>
        <source>Device didn&apos;t answer in time!</source>
        <translation>Das Gerät hat nicht rechtzeitig geantwortet!</translation>
    </message>
</context>
<context>
    <name>Thg::Tilo::Communication::Internal::SysCommand</name>
    <message>
        <source>Current operation not finished!</source>
        <translation>Aktueller Vorgang nicht abgeschlossen!</translation>
    </message>
    <message>
        <source>No system command given!</source>
        <translation>Kein Systembefehl angegeben!</translation>
    </message>
    <message>
        <source>Device responded with wrong command. Expected: %1 Received: %2</source>
        <translation>Das Gerät hat mit einem falschen Befehl geantwortet. Erwartet: %1 Empfangen: %2</translation>
    </message>
    <message>
        <source>Device didn`t respond -&gt; timeout! !</source>
        <translation>Das Gerät hat nicht geantwortet -&gt; Zeitüberschreitung! !</translation>
    </message>
    <message>
        <source>Device didn`t acknowledge command %1</source>
        <translation>Das Gerät hat Befehl %1 nicht bestätigt</translation>
    </message>
</context>
<context>
    <name>Thg::Tilo::Communication::ParLinkDeviceService</name>
    <message>
        <source>Writing parameters is not available.</source>
        <translation>Das Schreiben von Parametern ist nicht verfügbar.</translation>
    </message>
    <message>
        <source>Reading parameters is not available.</source>
        <translation>Das Lesen von Parametern ist nicht verfügbar.</translation>
    </message>
    <message>
        <source>Reading measured values is not available.</source>
        <translation>Das Lesen von Messwerten ist nicht verfügbar.</translation>
    </message>
    <message>
        <source>Firmware upload is not available.</source>
        <translation>Die Firmware-Aktualisierung ist nicht verfügbar.</translation>
    </message>
    <message>
        <source>The parameters are empty.</source>
        <translation>Die Parameter sind leer.</translation>
    </message>
    <message>
        <source>Device status: 0x%1 (%2)</source>
        <translation>Gerätestatus: 0x%1 (%2)</translation>
    </message>
</context>
</TS>
