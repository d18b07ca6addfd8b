<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>ParameterizeWidget</name>
    <message>
        <source>Select a port:</source>
        <translation>Anschluss wählen:</translation>
    </message>
</context>
</TS>
