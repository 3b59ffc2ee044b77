<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="it">
  <context>
    <name>mrv</name>
    <message>
      <location filename="src/facade/mrvMessage.cpp" line="641" />
      <source>Il Template "@1" non ha prodotto nessun risultato!</source>
      <translation type="unfinished" />
    </message>
    <message>
      <location filename="src/facade/mrvMessage.cpp" line="649" />
      <source>Nessun Template disponibile per la tabella @1!</source>
      <translation type="unfinished" />
    </message>
  </context>
</TS>
