<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="et">
<context>
    <name>BrokerClient</name>
    <message>
        <source>Ühendus MQTT-vahendajaga %1 on loodud.</source>
        <translation>Connected to the MQTT broker %1.</translation>
    </message>
    <message>
        <source>: vahendaja sertifikaat pole süsteemi usaldatud CA allkirjastatud või pole välja antud nimele %1</source>
        <translation>: the broker&apos;s certificate is not signed by a CA the system trusts, or not issued for %1</translation>
    </message>
    <message>
        <source>: vahendaja sertifikaat pole allkirjastatud failis %1 oleva CA poolt või pole välja antud nimele %2</source>
        <translation>: the broker&apos;s certificate is not signed by the CA in %1, or not issued for %2</translation>
    </message>
    <message>
        <source>TLS ei tööta failiga %1: %2</source>
        <translation>no TLS with %1: %2</translation>
    </message>
    <message>
        <source>MQTT jääb välja: %1.</source>
        <translation>MQTT stays off: %1.</translation>
    </message>
    <message>
        <source>vahendaja keeldus ühendusest või sulges selle enne TLS-i kokkulepet</source>
        <translation>the broker refused the connection or closed it before TLS was agreed</translation>
    </message>
    <message>
        <source>Ühendus MQTT-vahendajaga %1 katkes: %2.</source>
        <translation>Lost the MQTT broker %1: %2.</translation>
    </message>
    <message>
        <source>MQTT-vahendajaga %1 ei saa ühendust: %2 (proovin uuesti, hiljemalt %3 s pärast).</source>
        <translation>Cannot connect to the MQTT broker %1: %2 (trying again within %3 s).</translation>
    </message>
    <message>
        <source>MQTT teek ei võtnud vastu: %1: %2.</source>
        <translation>Refused by the MQTT library: %1: %2.</translation>
    </message>
</context>
<context>
    <name>ChannelControl</name>
    <message>
        <source>Automaatreziimi siirdumiseks peavad sisse- ja väljalülitumisajad olema defineeritud. Jätkan käsitsijuhtimisel!</source>
        <translation>Automatic mode needs both a switch-on and a switch-off time. Staying in manual mode!</translation>
    </message>
    <message>
        <source>Muutusi ei jäeta meelde: %1.</source>
        <translation>Changes are not remembered: %1.</translation>
    </message>
    <message>
        <source>Lähen üle pordile %1.</source>
        <translation>Moving to port %1.</translation>
    </message>
</context>
<context>
    <name>DeviceClaim</name>
    <message>
        <source>teine protsess</source>
        <translation>another process</translation>
    </message>
    <message>
        <source>protsess %1, kasutaja %2</source>
        <translation>process %1 of user %2</translation>
    </message>
    <message>
        <source>Seadet %1 hoiab %2, kes ei saa seda ise kasutada; seda ei arvestata.</source>
        <translation>%1 is claimed by %2, who cannot use it; the claim is ignored.</translation>
    </message>
</context>
<context>
    <name>FailureText</name>
    <message>
        <source>See seade on süsteemi konsool; Relvoog seda ei kasuta.</source>
        <translation>This device is a system console; Relvoog does not use it.</translation>
    </message>
    <message>
        <source>Kasutaja peab kuuluma seadme grupi (nt dialout) liikmete hulka; pärast lisamist tuleb uuesti sisse logida.</source>
        <translation>The user must be a member of the device&apos;s group (such as dialout), and log in again after being added.</translation>
    </message>
    <message>
        <source>Porti hoiab teine programm (Linuxis sageli ModemManager või brltty).</source>
        <translation>Another program holds the port (on Linux often ModemManager or brltty).</translation>
    </message>
    <message>
        <source>Seade ei ole ühendatud.</source>
        <translation>The device is not connected.</translation>
    </message>
    <message>
        <source>Seda plaati juhib juba teine Relvoog (aken või teenus).</source>
        <translation>Another Relvoog (a window or the service) drives this board already.</translation>
    </message>
    <message>
        <source>Adapter ei vasta; tõmba see välja ja ühenda uuesti.</source>
        <translation>The adapter does not answer; unplug it and plug it in again.</translation>
    </message>
</context>
<context>
    <name>HomeAssistantDiscovery</name>
    <message>
        <source>Relee %1</source>
        <translation>Relay %1</translation>
    </message>
    <message>
        <source>Relee %1 automaatjuhtimine</source>
        <translation>Relay %1 automatic mode</translation>
    </message>
    <message>
        <source>Relee %1 sisse</source>
        <translation>Relay %1 switch-on time</translation>
    </message>
    <message>
        <source>Relee %1 välja</source>
        <translation>Relay %1 switch-off time</translation>
    </message>
    <message>
        <source>Kõik releed välja</source>
        <translation>All relays off</translation>
    </message>
    <message>
        <source>Ühendus</source>
        <translation>Connection</translation>
    </message>
</context>
<context>
    <name>Kellaajad</name>
    <message>
        <source>Relee 1</source>
        <translation>Relay 1</translation>
    </message>
    <message>
        <source>Relee 2</source>
        <translation>Relay 2</translation>
    </message>
    <message>
        <source>Relee3</source>
        <translation>Relay 3</translation>
    </message>
    <message>
        <source>Relee 4</source>
        <translation>Relay 4</translation>
    </message>
    <message>
        <source>Relee 5</source>
        <translation>Relay 5</translation>
    </message>
    <message>
        <source>Relee 6</source>
        <translation>Relay 6</translation>
    </message>
    <message>
        <source>Relee 7</source>
        <translation>Relay 7</translation>
    </message>
    <message>
        <source>Relee 8</source>
        <translation>Relay 8</translation>
    </message>
    <message>
        <source>Relvoog - autoreziimi kellaaegade seadmine</source>
        <translation>Relvoog - times for automatic mode</translation>
    </message>
    <message>
        <source>Sisse</source>
        <translation>On</translation>
    </message>
    <message>
        <source>Välja</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>Relee %1 sisse</source>
        <translation>Relay %1 switch-on time</translation>
    </message>
    <message>
        <source>Relee %1 välja</source>
        <translation>Relay %1 switch-off time</translation>
    </message>
    <message>
        <source>Sideport</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>Sidepordi valik</source>
        <translation>Choice of serial port</translation>
    </message>
    <message>
        <source>&amp;Ei !!!</source>
        <translation>&amp;Cancel</translation>
    </message>
    <message>
        <source>Väljumine ilma muutusteta</source>
        <translation>Leave without changes</translation>
    </message>
    <message>
        <source>&amp;Sobib</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>Välju ja salvesta muutused</source>
        <translation>Leave and keep the changes</translation>
    </message>
    <message>
        <source>Valitud pordi aktiveerimine ei õnnestunud</source>
        <translation>The chosen port could not be put to use.</translation>
    </message>
</context>
<context>
    <name>LanguageChoice</name>
    <message>
        <source>et</source>
        <extracomment>The language of this translation: en for English.</extracomment>
        <translation>en</translation>
    </message>
</context>
<context>
    <name>Monitor</name>
    <message>
        <source>jõuab taas plaadini</source>
        <translation>reaches the board again</translation>
    </message>
    <message>
        <source>jäeti maha: %1</source>
        <translation>left: %1</translation>
    </message>
    <message>
        <source>käivitus</source>
        <translation>started</translation>
    </message>
    <message>
        <source>lõpetas</source>
        <translation>stopped</translation>
    </message>
</context>
<context>
    <name>MosquittoLibrary</name>
    <message>
        <source>teeki ei saa laadida: %1</source>
        <translation>the library cannot be loaded: %1</translation>
    </message>
    <message>
        <source>teegist %1 puuduvad %2</source>
        <translation>%1 lacks %2</translation>
    </message>
</context>
<context>
    <name>MqttBridge</name>
    <message>
        <source>MQTT-ühendus vahendajaga %1 ei lõppenud õigel ajal.</source>
        <translation>The MQTT connection to %1 did not end in time.</translation>
    </message>
    <message>
        <source>säilitatud (retain) käsku ei täideta; saada käske ilma retain-liputa ja kustuta see tühja säilitatud sõnumiga</source>
        <translation>a retained command is ignored; send commands without retain, and clear this one with an empty retained message</translation>
    </message>
    <message>
        <source>%1-baidist käsku ei täideta; pikim käsk on %2 baiti</source>
        <translation>a command of %1 bytes is ignored; the longest is %2 bytes</translation>
    </message>
    <message>
        <source>kanalit %1 ei ole; kanalid on 1 kuni %2</source>
        <translation>there is no channel %1; the channels are 1 to %2</translation>
    </message>
    <message>
        <source>%1 ei ole siin käsk; käsud on ON, OFF ja TOGGLE</source>
        <translation>%1 is not a command here; the commands are ON, OFF and TOGGLE</translation>
    </message>
    <message>
        <source>%1 ei ole siin käsk; käsud on auto ja manual</source>
        <translation>%1 is not a command here; the commands are auto and manual</translation>
    </message>
    <message>
        <source>%1 ei ole kellaaeg; aeg on HH:MM:SS, tühi tähendab, et aega pole</source>
        <translation>%1 is not a time; a time is HH:MM:SS, and empty means none</translation>
    </message>
</context>
<context>
    <name>MqttSettings</name>
    <message>
        <source>%1 on &quot;%2&quot;; lubatud on true ja false</source>
        <translation>%1 is &quot;%2&quot;; it takes true or false</translation>
    </message>
    <message>
        <source>MQTT jääb välja: %1.</source>
        <translation>MQTT stays off: %1.</translation>
    </message>
    <message>
        <source>port on &quot;%1&quot;</source>
        <translation>port is &quot;%1&quot;</translation>
    </message>
    <message>
        <source>paroolifail %1: %2</source>
        <translation>the password file %1: %2</translation>
    </message>
    <message>
        <source>CA fail %1: %2</source>
        <translation>the CA file %1: %2</translation>
    </message>
    <message>
        <source>&quot;%1&quot; ei sobi teemade juureks: + ja # pole lubatud, ükski tase ei tohi olla tühi ega $-ga algav</source>
        <translation>&quot;%1&quot; cannot be a topic root: no + or #, no empty level, no $ at the start</translation>
    </message>
</context>
<context>
    <name>Peavorm</name>
    <message>
        <source>Relee 1</source>
        <translation>Relay 1</translation>
    </message>
    <message>
        <source>Relee 2</source>
        <translation>Relay 2</translation>
    </message>
    <message>
        <source>Relee 3</source>
        <translation>Relay 3</translation>
    </message>
    <message>
        <source>Relee 4</source>
        <translation>Relay 4</translation>
    </message>
    <message>
        <source>Relee 5</source>
        <translation>Relay 5</translation>
    </message>
    <message>
        <source>Relee 6</source>
        <translation>Relay 6</translation>
    </message>
    <message>
        <source>Relee 7</source>
        <translation>Relay 7</translation>
    </message>
    <message>
        <source>Relee 8</source>
        <translation>Relay 8</translation>
    </message>
    <message>
        <source>Relee %1: sees</source>
        <translation>Relay %1: on</translation>
    </message>
    <message>
        <source>Relee %1: väljas</source>
        <translation>Relay %1: off</translation>
    </message>
    <message>
        <source>Relee %1: automaatjuhtimine</source>
        <translation>Relay %1: automatic</translation>
    </message>
    <message>
        <source>Relee %1: käsitsijuhtimine</source>
        <translation>Relay %1: manual</translation>
    </message>
    <message>
        <source>V</source>
        <extracomment>What the next press does to the output; the button is as wide as two letters.</extracomment>
        <translation>Off</translation>
    </message>
    <message>
        <source>S</source>
        <translation>On</translation>
    </message>
    <message>
        <source>Väljundi sisse/välja lülitamine</source>
        <translation>Switches the output on or off</translation>
    </message>
    <message>
        <source>Väljundi juhtimine kella järgi</source>
        <translation>Switches the output by the clock</translation>
    </message>
    <message>
        <source>Relee %1 automaatjuhtimine</source>
        <translation>Relay %1 automatic mode</translation>
    </message>
    <message>
        <source>Lülitab kõik releed välja!</source>
        <translation>Switches every relay off!</translation>
    </message>
    <message>
        <source>Kõik releed välja</source>
        <translation>All relays off</translation>
    </message>
    <message>
        <source>Seaded</source>
        <translation>Setup</translation>
    </message>
    <message>
        <source>Lülitamise kellaaegade ja pordi seadmine</source>
        <translation>Sets the switching times and the port</translation>
    </message>
    <message>
        <source>Lõpp</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>Töö lõpetamine</source>
        <translation>Ends the program</translation>
    </message>
    <message>
        <source>Täna:</source>
        <translation>Now:</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>Port %1 jäeti: %2</source>
        <translation>Moved away from port %1: %2</translation>
    </message>
    <message>
        <source>MQTT: ühendatud, %1</source>
        <translation>MQTT: connected, %1</translation>
    </message>
    <message>
        <source>MQTT: ühendus puudub: %1</source>
        <translation>MQTT: not connected: %1</translation>
    </message>
</context>
<context>
    <name>Port</name>
    <message>
        <source>Porti ei ole valitud.</source>
        <translation>No port was chosen.</translation>
    </message>
    <message>
        <source>Pordil %1 ei ole seadet.</source>
        <translation>Port %1 has no device.</translation>
    </message>
    <message>
        <source>Seadet %1 ei saa avada: %2.</source>
        <translation>%1 cannot be opened: %2.</translation>
    </message>
    <message>
        <source>Seadme %1 liini DTR ei saa seada: %2.</source>
        <translation>The DTR line of %1 cannot be set: %2.</translation>
    </message>
    <message>
        <source>Seadme %1 liini RTS ei saa seada: %2.</source>
        <translation>The RTS line of %1 cannot be set: %2.</translation>
    </message>
    <message>
        <source>Seadmesse %1 ei saa kirjutada: %2.</source>
        <translation>%1 cannot be written to: %2.</translation>
    </message>
    <message>
        <source>%1 on süsteemi konsool, mitte releeplaat.</source>
        <translation>%1 is a system console, not a relay board.</translation>
    </message>
    <message>
        <source>Seadme %1 väljundjärjekorda ei saa lugeda: %2.</source>
        <translation>The output queue of %1 cannot be read: %2.</translation>
    </message>
    <message>
        <source>Seadme %1 väljund ei tühjenenud %2 µs jooksul.</source>
        <translation>The output of %1 did not drain within %2 µs.</translation>
    </message>
</context>
<context>
    <name>RelayBoard</name>
    <message>
        <source>Seadet %1 juhib teine Relvoogi koopia (%2).</source>
        <translation>%1 is driven by another copy of Relvoog (%2).</translation>
    </message>
    <message>
        <source>Seade %1 ei vasta.</source>
        <translation>%1 does not answer.</translation>
    </message>
    <message>
        <source>Pordile %1 kirjutamine ebaõnnestus: %2</source>
        <translation>Writing to port %1 failed: %2</translation>
    </message>
    <message>
        <source>Port %1 vastab taas.</source>
        <translation>Port %1 answers again.</translation>
    </message>
</context>
<context>
    <name>Relvoog1Adaptor</name>
    <message>
        <source>Kanalit %1 ei ole; kanalid on 1 kuni %2.</source>
        <translation>There is no channel %1; the channels are 1 to %2.</translation>
    </message>
    <message>
        <source>%1 (kasutaja %2, protsess %3)</source>
        <translation>%1 (uid %2, pid %3)</translation>
    </message>
    <message>
        <source>%1, saatja %2</source>
        <translation>%1 from %2</translation>
    </message>
    <message>
        <source>%1, saatja %2: keeldutud, %3</source>
        <translation>%1 from %2: refused, %3</translation>
    </message>
    <message>
        <source>&apos;%1&apos; ei ole kellaaeg kujul HH:MM:SS.</source>
        <translation>&apos;%1&apos; is not a time of day as HH:MM:SS.</translation>
    </message>
    <message>
        <source>Porti %1 ei ole; pordid on 1 ja 2.</source>
        <translation>There is no port %1; the ports are 1 and 2.</translation>
    </message>
    <message>
        <source>%1: asemele tuli uuem pordivahetus</source>
        <translation>%1: a newer port change took its place</translation>
    </message>
    <message>
        <source>Selle pordivahetuse asemele tuli uuem.</source>
        <translation>A newer port change took this one&apos;s place.</translation>
    </message>
    <message>
        <source>%1 ebaõnnestus: %2</source>
        <translation>%1 failed: %2</translation>
    </message>
</context>
<context>
    <name>RelvoogClient</name>
    <message>
        <source>süsteemi siinil</source>
        <translation>on the system bus</translation>
    </message>
    <message>
        <source>seansi siinil</source>
        <translation>on the session bus</translation>
    </message>
    <message>
        <source>Süsteemi siinile ei pääse: %1.</source>
        <translation>Cannot reach the system bus: %1.</translation>
    </message>
    <message>
        <source>Seansi siinile ei pääse: %1.</source>
        <translation>Cannot reach the session bus: %1.</translation>
    </message>
    <message>
        <source>relvoogd ei tööta %1.</source>
        <translation>relvoogd is not running %1.</translation>
    </message>
    <message>
        <source>relvoogd ei vastanud %1 s jooksul.</source>
        <translation>relvoogd did not answer within %1 s.</translation>
    </message>
    <message>
        <source>Jälgin relvoogd&apos;i %1; Ctrl+C lõpetab.</source>
        <translation>Following relvoogd %1; Ctrl+C ends.</translation>
    </message>
</context>
<context>
    <name>RememberedState</name>
    <message>
        <source>faili %1 ei saa lugeda</source>
        <translation>%1 cannot be read</translation>
    </message>
    <message>
        <source>fail %1 on rikutud</source>
        <translation>%1 is damaged</translation>
    </message>
    <message>
        <source>faili %1 ei saa kirjutada</source>
        <translation>%1 cannot be written</translation>
    </message>
    <message>
        <source>%1; see on alles nimega %2</source>
        <translation>%1; it is kept as %2</translation>
    </message>
    <message>
        <source>%1 ja seda ei saa hoida nimega %2; see jäetakse, nagu on, ja midagi ei jäeta meelde</source>
        <translation>%1, and cannot be kept as %2; it is left as it is, and nothing is remembered</translation>
    </message>
</context>
<context>
    <name>StartOptions</name>
    <message>
        <source>Lülitab jadapordiga ühendatud releeplaadi kaheksat väljundit.</source>
        <translation>Switches the eight outputs of a relay board on a serial port.</translation>
    </message>
    <message>
        <source>Pordi 1 seade (vaikimisi %1).</source>
        <translation>The device of port 1 (default %1).</translation>
    </message>
    <message>
        <source>seade</source>
        <translation>device</translation>
    </message>
    <message>
        <source>Pordi 2 seade (vaikimisi %1).</source>
        <translation>The device of port 2 (default %1).</translation>
    </message>
    <message>
        <source>Jätkab eelmise töö lülitusaegade, režiimide, olekute ja pordiga ning jätab meelde iga muutuse.</source>
        <translation>Resume the switching times, modes, states and port of the last run, and remember every change.</translation>
    </message>
    <message>
        <source>Programmi keel: et (eesti) või en (inglise); vaikimisi süsteemi keel.</source>
        <translation>The language: et (Estonian) or en (English); by default the system&apos;s.</translation>
    </message>
    <message>
        <source>keel</source>
        <translation>language</translation>
    </message>
    <message>
        <source>Ootamatu argument &apos;%1&apos;.</source>
        <translation>Unexpected argument &apos;%1&apos;.</translation>
    </message>
    <message>
        <source>Keel peab olema et või en, mitte &apos;%1&apos;.</source>
        <translation>The language must be et or en, not &apos;%1&apos;.</translation>
    </message>
    <message>
        <source>Failis %1 on keel &apos;%2&apos;, mis ei ole et ega en; keel on süsteemi oma.</source>
        <translation>%1 names the language &apos;%2&apos;, which is neither et nor en; the system&apos;s language is used.</translation>
    </message>
    <message>
        <source>Faili %1 ei saa lugeda; see jäetakse kõrvale.</source>
        <translation>%1 cannot be read; it is left aside.</translation>
    </message>
    <message>
        <source>Näitab seda abiteksti.</source>
        <translation>Displays this help.</translation>
    </message>
    <message>
        <source>Seadete fail (vaikimisi %1).</source>
        <translation>The settings file (default %1).</translation>
    </message>
    <message>
        <source>fail</source>
        <translation>file</translation>
    </message>
    <message>
        <source>SEADE</source>
        <extracomment>Stands for a device&apos;s name in a file name.</extracomment>
        <translation>DEVICE</translation>
    </message>
    <message>
        <source>Fail, mida --restore loeb ja kirjutab (vaikimisi %1, kus %2 on pordi 1 seade ilma /dev/ alguseta).</source>
        <translation>The file that --restore reads and writes (default %1, %2 being port 1&apos;s device without /dev/).</translation>
    </message>
    <message>
        <source>Seadete faili %1 ei ole olemas.</source>
        <translation>The settings file %1 does not exist.</translation>
    </message>
    <message>
        <source>Juhib releeplaati ilma aknata; relvoogctl ja teised kliendid juhivad seda D-Busi kaudu.</source>
        <translation>Drives the relay board without a window; relvoogctl and other clients control it over D-Bus.</translation>
    </message>
    <message>
        <source>Fail, kus kanalite olekut meeles peetakse (vaikimisi %1, kus %2 on pordi 1 seade ilma /dev/ alguseta; systemd&apos;i teenusena %3).</source>
        <translation>The file the channels are remembered in (default %1, where %2 is port 1&apos;s device without its /dev/; as a systemd service %3).</translation>
    </message>
    <message>
        <source>Teenindab süsteemi siinil, mitte seansi siinil.</source>
        <translation>Serve on the system bus, not the session bus.</translation>
    </message>
    <message>
        <source>Seadete faili %1 ei saa lugeda.</source>
        <translation>The settings file %1 cannot be read.</translation>
    </message>
</context>
<context>
    <name>StatusWords</name>
    <message>
        <source>kanal %1</source>
        <translation>channel %1</translation>
    </message>
    <message>
        <source>port %1</source>
        <translation>port %1</translation>
    </message>
    <message>
        <source>sees</source>
        <translation>on</translation>
    </message>
    <message>
        <source>väljas</source>
        <translation>off</translation>
    </message>
    <message>
        <source>automaatne</source>
        <translation>automatic</translation>
    </message>
    <message>
        <source>käsitsi</source>
        <translation>manual</translation>
    </message>
    <message>
        <source>sisse %1  välja %2</source>
        <translation>on %1  off %2</translation>
    </message>
    <message>
        <source>ei tööta: %1</source>
        <translation>failing: %1</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Eelmist seisu ei taastatud: %1.</source>
        <translation>Nothing was restored: %1.</translation>
    </message>
    <message>
        <source>Lõpetan.</source>
        <translation>Stopping.</translation>
    </message>
    <message>
        <source>süsteemi siinil</source>
        <translation>on the system bus</translation>
    </message>
    <message>
        <source>seansi siinil</source>
        <translation>on the session bus</translation>
    </message>
    <message>
        <source>Süsteemi siinile ei pääse: %1.</source>
        <translation>Cannot reach the system bus: %1.</translation>
    </message>
    <message>
        <source>Seansi siinile ei pääse: %1.</source>
        <translation>Cannot reach the session bus: %1.</translation>
    </message>
    <message>
        <source>Nimi %1 on %2 juba võetud: seal töötab relvoogd (protsess %3).</source>
        <translation>The name %1 is taken %2 already: relvoogd (process %3) serves there.</translation>
    </message>
    <message>
        <source>Nime %1 ei saa %2 võtta: %3</source>
        <translation>The name %1 cannot be taken %2: %3</translation>
    </message>
    <message>
        <source>relvoogd %1 töötab %2; port 1 on %3, port 2 on %4, kanalite olek on failis %5.</source>
        <translation>relvoogd %1 runs %2; port 1 is %3, port 2 is %4, the channels are remembered in %5.</translation>
    </message>
    <message>
        <source>Kasutusel on port %1 (%2).</source>
        <translation>Port %1 is in use (%2).</translation>
    </message>
    <message>
        <source>Kanalite olek taastati failist %1.</source>
        <translation>The channels were resumed from %1.</translation>
    </message>
</context>
<context>
    <name>relvoogctl</name>
    <message>
        <source>kaheksa kanalit ja port, igaüks oma real</source>
        <translation>the eight channels and the port, one line each</translation>
    </message>
    <message>
        <source>lülitab kanali N käsitsi sisse; see lõpetab kanali automaatrežiimi</source>
        <translation>switch channel N on by hand; this ends its automatic mode</translation>
    </message>
    <message>
        <source>lülitab kanali N käsitsi välja</source>
        <translation>switch channel N off by hand</translation>
    </message>
    <message>
        <source>lülitab kanali N käsitsi ümber</source>
        <translation>switch channel N over by hand</translation>
    </message>
    <message>
        <source>viib kanali N automaatrežiimi; selleks on vaja mõlemat aega</source>
        <translation>put channel N in automatic mode; it needs both of its times</translation>
    </message>
    <message>
        <source>võtab kanali N automaatrežiimist välja</source>
        <translation>take channel N out of automatic mode</translation>
    </message>
    <message>
        <source>seab kanali N sisse- ja väljalülitumisaja; 00:00:00 tähendab, et aega ei ole</source>
        <translation>set channel N&apos;s switch-on and switch-off times; 00:00:00 is none</translation>
    </message>
    <message>
        <source>lülitab kõik väljundid välja ja kõik kanalid käsitsijuhtimisele</source>
        <translation>switch every output off and every channel to manual</translation>
    </message>
    <message>
        <source>proovib porti 1 või 2 ja võtab selle kasutusele, kui see avaneb</source>
        <translation>try port 1 or 2, and use it if it opens</translation>
    </message>
    <message>
        <source>näitab muutusi nende tulles, kuni Ctrl+C-ni</source>
        <translation>print the changes as they come, until Ctrl+C</translation>
    </message>
    <message>
        <source>Juhib releeplaati, mida relvoogd juhib.</source>
        <translation>Controls the relay board that relvoogd drives.</translation>
    </message>
    <message>
        <source>Käsud:</source>
        <translation>Commands:</translation>
    </message>
    <message>
        <source>Lõpetamise olek: 0 tehtud; 1 relvoogd keeldus ja ütleb, miks; 2 vale käsk, kanal, aeg või port; 3 relvoogd ei ole kättesaadav.</source>
        <translation>Exit status: 0 done; 1 refused by relvoogd, which says why; 2 a wrong command, channel, time or port; 3 relvoogd cannot be reached.</translation>
    </message>
    <message>
        <source>Näitab seda abiteksti.</source>
        <translation>Displays this help.</translation>
    </message>
    <message>
        <source>Näitab versiooni.</source>
        <translation>Displays the version.</translation>
    </message>
    <message>
        <source>Räägib süsteemi teenusega süsteemi siinil (vaikimisi seansi siinil).</source>
        <translation>Talk to the system service, on the system bus (default: the session bus).</translation>
    </message>
    <message>
        <source>status ja monitor annavad JSON-i, skriptide jaoks.</source>
        <translation>status and monitor print JSON, for scripts.</translation>
    </message>
    <message>
        <source>Üks ülaltoodud käskudest.</source>
        <translation>One of the commands above.</translation>
    </message>
    <message>
        <source>KÄSK [ARGUMENDID]</source>
        <translation>COMMAND [ARGUMENTS]</translation>
    </message>
    <message>
        <source>Käsk puudub; relvoogctl --help loetleb käsud.</source>
        <translation>No command given; relvoogctl --help lists them.</translation>
    </message>
    <message>
        <source>Tundmatu käsk &apos;%1&apos;; relvoogctl --help loetleb käsud.</source>
        <translation>Unknown command &apos;%1&apos;; relvoogctl --help lists them.</translation>
    </message>
    <message>
        <source>Kasutus: relvoogctl %1</source>
        <translation>Usage: relvoogctl %1</translation>
    </message>
    <message>
        <source>&apos;%1&apos; ei ole kanali number.</source>
        <translation>&apos;%1&apos; is not a channel number.</translation>
    </message>
    <message>
        <source>&apos;%1&apos; ei ole pordi number.</source>
        <translation>&apos;%1&apos; is not a port number.</translation>
    </message>
</context>
</TS>
