<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>BootloaderHandler</name>
    <message>
        <source>Could not open interface</source>
        <translation>Schnittstelle konnte nicht geöffnet werden</translation>
    </message>
    <message>
        <source>Interface is not open</source>
        <translation>Schnittstelle ist nicht geöffnet</translation>
    </message>
    <message>
        <source>Interface communication error</source>
        <translation>Kommunikationsfehler der Schnittstelle</translation>
    </message>
    <message>
        <source>Misc interface error</source>
        <translation>Sonstiger Schnittstellenfehler</translation>
    </message>
    <message>
        <source>Checksum incorrect</source>
        <translation>Prüfsumme falsch</translation>
    </message>
    <message>
        <source>No response from device</source>
        <translation>Keine Antwort vom Gerät</translation>
    </message>
    <message>
        <source>Device did not answer in time</source>
        <translation>Das Gerät hat nicht rechtzeitig geantwortet</translation>
    </message>
    <message>
        <source>No data received from device</source>
        <translation>Keine Daten vom Gerät empfangen</translation>
    </message>
    <message>
        <source>File is invalid</source>
        <translation>Datei ist ungültig</translation>
    </message>
    <message>
        <source>File must not contain bootloader update</source>
        <translation>Datei darf kein Bootloader-Update enthalten</translation>
    </message>
</context>
<context>
    <name>Thg::Tilo::Communication::Internal::Bootloader</name>
    <message>
        <source>Current operation not finished!</source>
        <translation>Aktueller Vorgang nicht abgeschlossen!</translation>
    </message>
    <message>
        <source>given Filename is empty!</source>
        <translation>Angegebener Dateiname ist leer!</translation>
    </message>
    <message>
        <source>given Bootloadertype is undefined!</source>
        <translation>Angegebener Bootloader-Typ ist nicht definiert!</translation>
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
        <source>Bootloader: </source>
        <translation>Bootloader: </translation>
    </message>
    <message>
        <source>Device didn`t acknowledge command %1</source>
        <translation>Das Gerät hat Befehl %1 nicht bestätigt</translation>
    </message>
</context>
<context>
    <name>Thg::Tilo::Communication::Internal::Default</name>
    <message>
        <source>Device didn`t acknowledge command %1</source>
        <translation>Das Gerät hat Befehl %1 nicht bestätigt</translation>
    </message>
    <message>
        <source>Device responded with wrong command. Expected: %1 Received: %2</source>
        <translation>Das Gerät hat mit einem falschen Befehl geantwortet. Erwartet: %1 Empfangen: %2</translation>
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
    <name>Thg::Tilo::Communication::Internal::Parameter</name>
    <message>
        <source>Device responded with wrong command. Expected: %1 Received: %2</source>
        <translation>Das Gerät hat mit einem falschen Befehl geantwortet. Erwartet: %1 Empfangen: %2</translation>
    </message>
    <message>
        <source>Device responded to command 130 with %1 bytes instead of %2</source>
        <translation>Das Gerät hat auf Befehl 130 mit %1 statt %2 Bytes geantwortet</translation>
    </message>
    <message>
        <source>Device responded to command 130: Sent value didn&apos;t correspond to read value: NVM address: %1 written: %2 read: %3</source>
        <translation>Das Gerät hat auf Befehl 130 geantwortet: Der gelesene Wert entspricht nicht dem gesendeten: NVM-Adresse: %1 geschrieben: %2 gelesen: %3</translation>
    </message>
    <message>
        <source>Exceeded max retries: </source>
        <translation>Maximale Anzahl an Wiederholungen überschritten: </translation>
    </message>
    <message>
        <source>Device didn`t respond -&gt; timeout! !</source>
        <translation>Das Gerät hat nicht geantwortet -&gt; Zeitüberschreitung! !</translation>
    </message>
    <message>
        <source>Current operation not finished!</source>
        <translation>Aktueller Vorgang nicht abgeschlossen!</translation>
    </message>
    <message>
        <source>Read: the amount of addresses is different than the amount of parameters</source>
        <translation>Lesen: Die Anzahl der Adressen weicht von der Anzahl der Parameter ab</translation>
    </message>
    <message>
        <source>Write: the amount of addresses is different than the amount of parameters</source>
        <translation>Schreiben: Die Anzahl der Adressen weicht von der Anzahl der Parameter ab</translation>
    </message>
    <message>
        <source>Read: the device has no sub-device</source>
        <translation>Lesen: Das Gerät hat kein Untergerät</translation>
    </message>
    <message>
        <source>Write: the device has no sub-device</source>
        <translation>Schreiben: Das Gerät hat kein Untergerät</translation>
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
    <name>Thg::Tilo::Communication::Internal::Values</name>
    <message>
        <source>Current operation not finished!</source>
        <translation>Aktueller Vorgang nicht abgeschlossen!</translation>
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
        <source>Didn`t find any data points in device value read out!</source>
        <translation>Beim Auslesen der Gerätewerte wurden keine Messpunkte gefunden!</translation>
    </message>
    <message>
        <source>Device didn`t acknowledge command %1</source>
        <translation>Das Gerät hat Befehl %1 nicht bestätigt</translation>
    </message>
</context>
<context>
    <name>Thg::Tilo::Communication::ParLinkDeviceService</name>
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
