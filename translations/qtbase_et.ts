<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="et" sourcelanguage="en">
<context>
    <name>QCommandLineParser</name>
    <message>
        <source>Usage: %1</source>
        <translation>Kasutamine: %1</translation>
    </message>
    <message>
        <source>[options]</source>
        <translation>[võtmed]</translation>
    </message>
    <message>
        <source>Options:</source>
        <translation>Võtmed:</translation>
    </message>
    <message>
        <source>Arguments:</source>
        <translation>Argumendid:</translation>
    </message>
    <message>
        <source>Unknown option &apos;%1&apos;.</source>
        <translation>Tundmatu võti &apos;%1&apos;.</translation>
    </message>
    <message>
        <source>Unknown options: %1.</source>
        <translation>Tundmatud võtmed: %1.</translation>
    </message>
    <message>
        <source>Missing value after &apos;%1&apos;.</source>
        <translation>Võtme &apos;%1&apos; järel puudub väärtus.</translation>
    </message>
    <message>
        <source>Unexpected value after &apos;%1&apos;.</source>
        <translation>Võtme &apos;%1&apos; järel on liigne väärtus.</translation>
    </message>
    <message>
        <source>Displays version information.</source>
        <translation>Näitab programmi versiooni.</translation>
    </message>
    <message>
        <source>Displays help on commandline options.</source>
        <translation>Näitab käsurea võtmete abi.</translation>
    </message>
    <message>
        <source>Displays help including Qt specific options.</source>
        <translation>Näitab abi koos Qt võtmetega.</translation>
    </message>
</context>
</TS>
