<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="it">
  <context>
    <name>mrv</name>
    <message>
      <location filename="src/messages/MessageCommands.cpp" line="123" />
      <source>&amp;Accetta</source>
      <translation>&amp;Accept</translation>
    </message>
    <message>
      <source>&amp;Allega</source>
      <translation type="vanished">&amp;Attach</translation>
    </message>
    <message>
      <location filename="src/messages/MessageCommands.cpp" line="95" />
      <source>&amp;Allega...</source>
      <translation>&amp;Attach...</translation>
    </message>
    <message>
      <location filename="src/notifications/NotificationWindowController.cpp" line="48" />
      <source>&amp;Attiva Notifica</source>
      <translation>&amp;Activate Notification</translation>
    </message>
    <message>
      <location filename="src/messages/MessageCommands.cpp" line="129" />
      <source>&amp;Completa</source>
      <translation>&amp;Complete</translation>
    </message>
    <message>
      <location filename="src/messages/HistoryController.cpp" line="281" />
      <source>&amp;Copia</source>
      <translation>&amp;Copy</translation>
    </message>
    <message>
      <location filename="src/notifications/NotificationWindowController.cpp" line="49" />
      <source>&amp;Disattiva Notifica</source>
      <translation>&amp;Deactivate Notification</translation>
    </message>
    <message>
      <location filename="src/messages/MessageCommands.cpp" line="100" />
      <source>&amp;Elimina</source>
      <translation>&amp;Delete</translation>
    </message>
    <message>
      <location filename="src/messages/MessageCommands.cpp" line="102" />
      <source>&amp;Esci</source>
      <translation>E&amp;xit</translation>
    </message>
    <message>
      <location filename="src/notifications/NotificationWindowController.cpp" line="50" />
      <source>&amp;Esporta</source>
      <translation>&amp;Export</translation>
    </message>
    <message>
      <location filename="src/messages/MessageCommands.cpp" line="87" />
      <source>&amp;File</source>
      <translation>&amp;File</translation>
    </message>
    <message>
      <location filename="src/messages/MessageCommands.cpp" line="143" />
      <source>&amp;Guida</source>
      <translation>&amp;Help</translation>
    </message>
    <message>
      <location filename="src/notifications/NotificationWindowController.cpp" line="51" />
      <source>&amp;Importa</source>
      <translation>&amp;Import</translation>
    </message>
    <message>
      <location filename="src/messages/MessageCommands.cpp" line="127" />
      <source>&amp;Inizia</source>
      <translation>&amp;Start</translation>
    </message>
    <message>
      <location filename="src/messages/MessageCommands.cpp" line="88" />
      <source>&amp;Invia</source>
      <translation>&amp;Send</translation>
    </message>
    <message>
      <location filename="src/messages/MessageCommands.cpp" line="117" />
      <source>&amp;Priorità alta</source>
      <translation>&amp;High priority</translation>
    </message>
    <message>
      <location filename="src/messages/MessageCommands.cpp" line="131" />
      <source>&amp;Riapri</source>
      <translation>Re&amp;open</translation>
    </message>
    <message>
      <location filename="src/messages/MessageCommands.cpp" line="125" />
      <source>&amp;Rifiuta</source>
      <translation>&amp;Decline</translation>
    </message>
    <message>
      <location filename="src/messages/MessageCommands.cpp" line="133" />
      <source>&amp;Rinvia</source>
      <translation>&amp;Postpone</translation>
    </message>
    <message>
      <location filename="src/messages/MessageCommands.cpp" line="105" />
      <source>&amp;Rispondi</source>
      <translation>&amp;Reply</translation>
    </message>
    <message>
      <location filename="src/messages/MessageCommands.cpp" line="113" />
      <source>&amp;Rubrica</source>
      <translation>Address &amp;book</translation>
    </message>
    <message>
      <location filename="src/messages/MessageCommands.cpp" line="89" />
      <source>&amp;Salva</source>
      <translation>&amp;Save</translation>
    </message>
    <message>
      <location filename="src/messages/MessageCommands.cpp" line="166" />
      <source>&amp;Salva come bozza</source>
      <translation>&amp;Save as draft</translation>
    </message>
    <message>
      <location filename="src/messages/MessageCommands.cpp" line="97" />
      <source>&amp;Salva tutti gli allegati...</source>
      <translation>&amp;Save all attachments...</translation>
    </message>
    <message>
      <location filename="src/messages/MessageWindowController.cpp" line="130" />
      <source>@1 - Messaggio</source>
      <translation>@1 - Message</translation>
    </message>
    <message>
      <location filename="src/messages/MessageWindowStored.cpp" line="134" />
      <source>@1Messaggio inoltrato in data @2</source>
      <translation>@1Message forwarded on @2</translation>
    </message>
    <message>
      <location filename="src/messages/MessageWindowStored.cpp" line="138" />
      <source>@1Messaggio reso pubblico in data @2</source>
      <translation>@1Message made public on @2</translation>
    </message>
    <message>
      <location filename="src/messages/MessageWindowStored.cpp" line="136" />
      <source>@1Risposta inviata in data @2</source>
      <translation>@1Reply sent on @2</translation>
    </message>
    <message>
      <location filename="src/mail/mrvEmailParams.cpp" line="139" />
      <source>A</source>
      <translation>To</translation>
    </message>
    <message>
      <location filename="src/messages/MessageCommands.cpp" line="104" />
      <source>A&amp;zioni</source>
      <translation>A&amp;ctions</translation>
    </message>
    <message>
      <location filename="src/messages/MessageHeaderText.cpp" line="24" />
      <source>A: </source>
      <translation>To: </translation>
    </message>
    <message>
      <location filename="src/messages/MessageWindowController.cpp" line="161" />
      <source>Accettata</source>
      <translation>Accepted</translation>
    </message>
    <message>
      <location filename="src/platform/widgets/PdfViewer.cpp" line="60" />
      <source>Adatta alla larghezza</source>
      <translation>Fit to width</translation>
    </message>
    <message>
      <location filename="suite/app/MainWindow.cpp" line="112" />
      <source>Aggiorna</source>
      <translation>Refresh</translation>
    </message>
    <message>
      <location filename="src/messages/MessageCommands.cpp" line="168" />
      <source>Ann&amp;ulla Assegnazione</source>
      <translation>Ca&amp;ncel Assignment</translation>
    </message>
    <message>
      <location filename="src/messages/MessageCommands.cpp" line="146" />
      <source>Apri</source>
      <translation>Open</translation>
    </message>
    <message>
      <location filename="suite/app/FolderCatalog.cpp" line="10" />
      <source>Archivi</source>
      <translation>Archives</translation>
    </message>
    <message>
      <location filename="src/messages/MessageCommands.cpp" line="168" />
      <source>Assegna A&amp;ttività</source>
      <translation>Assign &amp;Task</translation>
    </message>
    <message>
      <location filename="src/messages/MessageCommands.cpp" line="121" />
      <source>Assegna a&amp;ttività</source>
      <translation>Assign &amp;task</translation>
    </message>
    <message>
      <location filename="src/messages/ui/MessageWindow.cpp" line="300" />
      <source>Assegnata da:</source>
      <translation>Assigned by:</translation>
    </message>
    <message>
      <location filename="src/messages/MessageCommands.cpp" line="138" />
      <source>Associa a &amp;Controparte</source>
      <translation>Associate with &amp;Counterparty</translation>
    </message>
    <message>
      <location filename="src/messages/MessageCommands.cpp" line="140" />
      <source>Associa a &amp;Documento</source>
      <translation>Associate with &amp;Document</translation>
    </message>
    <message>
      <location filename="src/notifications/NotificationWindowController.cpp" line="353" />
      <source>Attivare almeno una condizione!</source>
      <translation>Activate at least one condition!</translation>
    </message>
    <message>
      <location filename="src/messages/MessageWindowStored.cpp" line="87" />
      <source>Attività</source>
      <translation>Task</translation>
    </message>
    <message>
      <location filename="src/messages/MessageWindowCompose.cpp" line="56" />
      <source>Attività senza titolo</source>
      <translation>Untitled task</translation>
    </message>
    <message>
      <location filename="src/platform/widgets/RichTextEditor.cpp" line="350" />
      <source>Automatico</source>
      <translation>Automatic</translation>
    </message>
    <message>
      <location filename="src/messages/ui/MessageWindow.cpp" line="292" />
      <source>Avvisami</source>
      <translation>Notify me</translation>
    </message>
    <message>
      <location filename="suite/app/FolderCatalog.cpp" line="81" />
      <source>Bozze</source>
      <translation>Drafts</translation>
    </message>
    <message>
      <location filename="src/platform/widgets/RichTextEditor.cpp" line="275" />
      <source>Carattere</source>
      <translation>Font</translation>
    </message>
    <message>
      <location filename="suite/app/FolderCatalog.cpp" line="71" />
      <source>Causale</source>
      <translation>Document type</translation>
    </message>
    <message>
      <location filename="src/messages/ui/MessageWindow.cpp" line="195" />
      <source>Cc</source>
      <translation>Cc</translation>
    </message>
    <message>
      <location filename="src/messages/MessageHeaderText.cpp" line="25" />
      <source>Cc: </source>
      <translation>Cc: </translation>
    </message>
    <message>
      <location filename="src/messages/ui/MessageWindow.cpp" line="195" />
      <source>Ccn</source>
      <translation>Bcc</translation>
    </message>
    <message>
      <location filename="suite/app/RecordDialogs.cpp" line="43" />
      <source>Cerca</source>
      <translation>Search</translation>
    </message>
    <message>
      <location filename="suite/app/FolderCatalog.cpp" line="49" />
      <source>Clienti</source>
      <translation>Customers</translation>
    </message>
    <message>
      <location filename="suite/app/FolderCatalog.cpp" line="57" />
      <source>Codice</source>
      <translation>Code</translation>
    </message>
    <message>
      <location filename="src/platform/widgets/RichTextEditor.cpp" line="373" />
      <source>Colore del testo</source>
      <translation>Text colour</translation>
    </message>
    <message>
      <location filename="src/platform/widgets/RichTextEditor.cpp" line="374" />
      <source>Colore di sfondo</source>
      <translation>Background colour</translation>
    </message>
    <message>
      <location filename="src/messages/HistoryController.cpp" line="117" />
      <source>Completamento</source>
      <translation>Completion</translation>
    </message>
    <message>
      <location filename="src/messages/ui/MessageWindow.cpp" line="299" />
      <source>Completamento:</source>
      <translation>Completion:</translation>
    </message>
    <message>
      <location filename="src/messages/MessageWindowController.cpp" line="161" />
      <source>Completata</source>
      <translation>Completed</translation>
    </message>
    <message>
      <location filename="src/messages/ui/MessageWindow.cpp" line="298" />
      <source>Completata il:</source>
      <translation>Completed on:</translation>
    </message>
    <message>
      <location filename="src/notifications/NotificationWindowController.cpp" line="31" />
      <source>Condizioni</source>
      <translation>Conditions</translation>
    </message>
    <message>
      <location filename="src/messages/MessageWindowStored.cpp" line="429" />
      <source>Confermi la Rimozione del Messaggio Pubblico collegato?</source>
      <translation>Remove the linked public message?</translation>
    </message>
    <message>
      <location filename="src/messages/MessageCommands.cpp" line="114" />
      <source>Controlla &amp;nomi</source>
      <translation>Check &amp;names</translation>
    </message>
    <message>
      <location filename="suite/app/FolderCatalog.cpp" line="74" />
      <source>Controparte</source>
      <translation>Counterparty</translation>
    </message>
    <message>
      <location filename="src/platform/widgets/RichTextEditor.cpp" line="318" />
      <source>Corsivo</source>
      <translation>Italic</translation>
    </message>
    <message>
      <location filename="src/messages/ui/MessageWindow.cpp" line="301" />
      <source>Creata il:</source>
      <translation>Created on:</translation>
    </message>
    <message>
      <location filename="src/messages/HistoryController.cpp" line="263" />
      <source>Cronologia Messaggi</source>
      <translation>Message History</translation>
    </message>
    <message>
      <location filename="suite/app/FolderCatalog.cpp" line="38" />
      <source>Da</source>
      <translation>From</translation>
    </message>
    <message>
      <location filename="src/messages/ui/MessageWindow.cpp" line="230" />
      <source>Da:</source>
      <translation>From:</translation>
    </message>
    <message>
      <location filename="src/messages/MessageHeaderText.cpp" line="24" />
      <source>Da: </source>
      <translation>From: </translation>
    </message>
    <message>
      <location filename="src/messages/HistoryController.cpp" line="114" />
      <source>Data</source>
      <translation>Date</translation>
    </message>
    <message>
      <location filename="suite/app/FolderCatalog.cpp" line="75" />
      <source>Descrizione</source>
      <translation>Description</translation>
    </message>
    <message>
      <location filename="suite/app/FolderCatalog.cpp" line="37" />
      <source>Destinatari</source>
      <translation>Recipients</translation>
    </message>
    <message>
      <location filename="src/platform/widgets/RichTextEditor.cpp" line="284" />
      <source>Dimensione</source>
      <translation>Size</translation>
    </message>
    <message>
      <location filename="suite/app/FolderCatalog.cpp" line="63" />
      <source>Documenti di vendita</source>
      <translation>Sales documents</translation>
    </message>
    <message>
      <location filename="src/messages/MessageWindowStored.cpp" line="239" />
      <source>E' necessario attivare il servizio di messaggistica per@1poter visualizzare i messaggi di posta elettronica.</source>
      <translation>The messaging service must be turned on@1to show e-mail messages.</translation>
    </message>
    <message>
      <location filename="src/messages/MessageWindowStored.cpp" line="324" />
      <source>E' stata raggiunta la fine dell'archivio!</source>
      <translation>The end of the list has been reached!</translation>
    </message>
    <message>
      <location filename="src/messages/MessageWindowStored.cpp" line="325" />
      <source>E' stato raggiunto l'inizio dell'archivio!</source>
      <translation>The beginning of the list has been reached!</translation>
    </message>
    <message>
      <location filename="suite/app/MainWindow.cpp" line="126" />
      <source>Elementi: @1</source>
      <translation>Items: @1</translation>
    </message>
    <message>
      <location filename="src/platform/widgets/RichTextEditor.cpp" line="383" />
      <source>Elenco numerato</source>
      <translation>Numbered list</translation>
    </message>
    <message>
      <location filename="src/platform/widgets/RichTextEditor.cpp" line="380" />
      <source>Elenco puntato</source>
      <translation>Bulleted list</translation>
    </message>
    <message>
      <location filename="src/messages/MessageWindowCommands.cpp" line="233" />
      <source>Eliminare in maniera definitiva il messaggio?</source>
      <translation>Delete the message permanently?</translation>
    </message>
    <message>
      <location filename="src/messages/MessageWindowStored.cpp" line="87" />
      <source>Email</source>
      <translation>E-mail</translation>
    </message>
    <message>
      <location filename="src/messages/MessageWindowStored.cpp" line="58" />
      <source>Errore imprevisto!</source>
      <translation>Unexpected error!</translation>
    </message>
    <message>
      <location filename="src/platform/widgets/RichTextEditor.cpp" line="315" />
      <source>Grassetto</source>
      <translation>Bold</translation>
    </message>
    <message>
      <source>I: </source>
      <translation type="vanished" />
    </message>
    <message>
      <location filename="src/notifications/NotificationTransfer.cpp" line="31" />
      <source>Idrano Notification (*.qdn)|*.qdn</source>
      <translation>Idrano Notification (*.qdn)|*.qdn</translation>
    </message>
    <message>
      <location filename="src/facade/mrvMessage.cpp" line="636" />
      <source>Il Template "@1" non ha prodotto nessun risultato!</source>
      <translation>The template "@1" produced no result!</translation>
    </message>
    <message>
      <location filename="src/platform/widgets/RichTextEditor.cpp" line="426" />
      <source>Il file @1 non contiene un'immagine leggibile.</source>
      <translation>The file @1 does not hold a readable picture.</translation>
    </message>
    <message>
      <location filename="src/notifications/NotificationTransfer.cpp" line="182" />
      <source>Il file non indica l'azienda della notifica: i nomi degli oggetti nei suoi testi restano come sono.</source>
      <translation>The file does not name the notification's company: the names of objects in its texts are left as they are.</translation>
    </message>
    <message>
      <location filename="src/messages/MessageWindowCompose.cpp" line="415" />
      <source>Il log di connessione ha restituito:</source>
      <translation>The connection log returned:</translation>
    </message>
    <message>
      <location filename="src/platform/widgets/RichTextEditor.cpp" line="414" />
      <source>Immagini</source>
      <translation>Pictures</translation>
    </message>
    <message>
      <location filename="src/messages/MessageWindowStored.cpp" line="467" />
      <source>Impossibile aprire il file! Non è stato trovato un programma compatibile con il file in questione.</source>
      <translation>Cannot open the file! No program was found that can open it.</translation>
    </message>
    <message>
      <location filename="src/messages/MessageWindowStored.cpp" line="236" />
      <source>Impossibile aprire il messaggio. Rieseguire la sincronizzazione.</source>
      <translation>The message cannot be opened. Synchronise the mailbox again.</translation>
    </message>
    <message>
      <location filename="src/messages/HistoryController.cpp" line="261" />
      <source>Impossibile aprire il messaggio.@1Il messaggio è privato ed appartiene a @2(@3).</source>
      <translation>Cannot open the message.@1The message is private and belongs to @2(@3).</translation>
    </message>
    <message>
      <location filename="src/messages/MessageWindowCompose.cpp" line="344" />
      <source>Impossibile inviare il messaggio corrente!</source>
      <translation>Cannot send the current message!</translation>
    </message>
    <message>
      <location filename="src/messages/MessageWindowCompose.cpp" line="411" />
      <source>Impossibile inviare il messaggio, verificare la configurazione dell'account di posta e riprovare.</source>
      <translation>Cannot send the message: check the configuration of the mail account and try again.</translation>
    </message>
    <message>
      <location filename="src/templates/TemplateSendController.cpp" line="390" />
      <source>Impossibile inviare il template corrente!</source>
      <translation>Cannot send the current template!</translation>
    </message>
    <message>
      <location filename="src/notifications/NotificationWindowController.cpp" line="175" />
      <source>Impossibile modificare la tabella di una notifica non disattiva.&#13;
Impostare la notifica a "Da Disattivare" e attendere che il server di notifica la elabori.</source>
      <translation>The table of a notification that is not inactive cannot be changed.&#13;
Set the notification to "To be deactivated" and wait for the notification server to process it.</translation>
    </message>
    <message>
      <location filename="src/messages/MessageWindowCompose.cpp" line="309" />
      <source>Impossibile recuperare l'allegato @1!</source>
      <translation>Cannot find the attachment @1!</translation>
    </message>
    <message>
      <location filename="src/messages/MessageWindowStored.cpp" line="504" />
      <source>Impossibile salvare gli allegati.</source>
      <translation>Cannot save the attachments.</translation>
    </message>
    <message>
      <location filename="src/messages/MessageWindowStored.cpp" line="484" />
      <source>Impossibile salvare il file.</source>
      <translation>Cannot save the file.</translation>
    </message>
    <message>
      <location filename="src/templates/TemplateSendController.cpp" line="391" />
      <source>Impossibile salvare l'allegato al messaggio inviato!</source>
      <translation>Cannot save the attachment with the sent message!</translation>
    </message>
    <message>
      <location filename="src/platform/widgets/PdfViewer.cpp" line="59" />
      <source>Ingrandisci</source>
      <translation>Zoom in</translation>
    </message>
    <message>
      <location filename="src/messages/ui/MessageWindow.cpp" line="297" />
      <source>Iniziata il:</source>
      <translation>Started on:</translation>
    </message>
    <message>
      <location filename="src/messages/MessageCommands.cpp" line="109" />
      <source>Ino&amp;ltra</source>
      <translation>For&amp;ward</translation>
    </message>
    <message>
      <location filename="src/notifications/NotificationWindowController.cpp" line="344" />
      <source>Inserire almeno un destinatario</source>
      <translation>Enter at least one recipient</translation>
    </message>
    <message>
      <location filename="src/notifications/NotificationWindowController.cpp" line="351" />
      <source>Inserire almeno una condizione!</source>
      <translation>Enter at least one condition!</translation>
    </message>
    <message>
      <location filename="src/notifications/NotificationWindowController.cpp" line="358" />
      <source>Inserire la query di notifica!</source>
      <translation>Enter the notification query!</translation>
    </message>
    <message>
      <location filename="src/notifications/NotificationWindowController.cpp" line="342" />
      <source>Inserire una descrizione!</source>
      <translation>Enter a description!</translation>
    </message>
    <message>
      <location filename="src/notifications/NotificationWindowController.cpp" line="349" />
      <source>Inserire una tabella!</source>
      <translation>Enter a table!</translation>
    </message>
    <message>
      <location filename="src/platform/widgets/RichTextEditor.cpp" line="300" />
      <source>Inserisci immagine</source>
      <translation>Insert picture</translation>
    </message>
    <message>
      <location filename="src/messages/MessageCommands.cpp" line="135" />
      <source>Invia &amp;rapporto di stato</source>
      <translation>Send status &amp;report</translation>
    </message>
    <message>
      <location filename="src/messages/ui/MessageWindow.cpp" line="232" />
      <source>Inviato:</source>
      <translation>Sent:</translation>
    </message>
    <message>
      <location filename="src/messages/MessageHeaderText.cpp" line="24" />
      <source>Inviato: </source>
      <translation>Sent: </translation>
    </message>
    <message>
      <location filename="src/messages/MessageWindowCompose.cpp" line="84" />
      <source>Invio fax</source>
      <translation>Send fax</translation>
    </message>
    <message>
      <location filename="src/templates/TemplateSendController.cpp" line="288" />
      <source>Invio messaggio @1 di @2 in corso...</source>
      <translation>Sending message @1 of @2...</translation>
    </message>
    <message>
      <location filename="src/templates/TemplateSendController.cpp" line="286" />
      <source>Invio messaggio in corso...</source>
      <translation>Sending the message...</translation>
    </message>
    <message>
      <location filename="src/notifications/NotificationWindowController.cpp" line="362" />
      <source>La query di notifica non è valida!</source>
      <translation>The notification query is not valid!</translation>
    </message>
    <message>
      <location filename="src/messages/HistoryController.cpp" line="118" />
      <source>Letto il</source>
      <translation>Read on</translation>
    </message>
    <message>
      <location filename="src/notifications/NotificationWindowController.cpp" line="346" />
      <source>Lista destinatari non valida!</source>
      <translation>Invalid recipient list!</translation>
    </message>
    <message>
      <location filename="suite/app/FolderCatalog.cpp" line="59" />
      <source>Località</source>
      <translation>Town</translation>
    </message>
    <message>
      <location filename="suite/app/FolderCatalog.cpp" line="9" />
      <source>Messaggi</source>
      <translation>Messages</translation>
    </message>
    <message>
      <location filename="suite/app/FolderCatalog.cpp" line="84" />
      <source>Messaggi pubblici</source>
      <translation>Public messages</translation>
    </message>
    <message>
      <location filename="src/messages/MessageWindowCommands.cpp" line="224" />
      <source>Messaggio</source>
      <translation>Message</translation>
    </message>
    <message>
      <location filename="src/templates/TemplateSendController.cpp" line="152" />
      <source>Messaggio @1 di @2</source>
      <translation>Message @1 of @2</translation>
    </message>
    <message>
      <location filename="src/messages/MessageCommands.cpp" line="110" />
      <source>Messaggio Precedente</source>
      <translation>Previous Message</translation>
    </message>
    <message>
      <location filename="src/messages/MessageCommands.cpp" line="112" />
      <source>Messaggio Successivo</source>
      <translation>Next Message</translation>
    </message>
    <message>
      <location filename="src/messages/MessageWindowStored.cpp" line="121" />
      <source>Messaggio con priorità Alta.</source>
      <translation>High priority message.</translation>
    </message>
    <message>
      <location filename="src/messages/MessageWindowStored.cpp" line="119" />
      <source>Messaggio con priorità Bassa.</source>
      <translation>Low priority message.</translation>
    </message>
    <message>
      <location filename="src/messages/MessageWindowCompose.cpp" line="57" />
      <source>Messaggio senza titolo</source>
      <translation>Untitled message</translation>
    </message>
    <message>
      <location filename="src/messages/HistoryController.cpp" line="115" />
      <source>Mittente</source>
      <translation>Sender</translation>
    </message>
    <message>
      <location filename="src/notifications/NotificationWindowController.cpp" line="180" />
      <source>Modificando la tabella scelta verranno eliminate tutte le condizioni già inserite.&#13;
Continuare comunque?</source>
      <translation>Changing the chosen table deletes every condition already entered.&#13;
Continue anyway?</translation>
    </message>
    <message>
      <location filename="src/facade/mrvMessage.cpp" line="644" />
      <source>Nessun Template disponibile per la tabella @1!</source>
      <translation>No template available for the table @1!</translation>
    </message>
    <message>
      <location filename="src/templates/TemplateSendController.cpp" line="393" />
      <source>Non è possibile trovare il file "@1".</source>
      <translation>Cannot find the file "@1".</translation>
    </message>
    <message>
      <location filename="src/templates/TemplateSendController.cpp" line="392" />
      <source>Non è possibile trovare il report "@1".</source>
      <translation>Cannot find the report "@1".</translation>
    </message>
    <message>
      <location filename="src/messages/HtmlBodyExport.cpp" line="22" />
      <source>Non è stato possibile generare il file "@1" di tipo HTML in codifica ANSI.</source>
      <translation>The HTML file "@1" in ANSI encoding could not be made.</translation>
    </message>
    <message>
      <location filename="src/messages/HtmlBodyExport.cpp" line="26" />
      <source>Non è stato possibile generare il file "@1" di tipo HTML in codifica UTF8.</source>
      <translation>The HTML file "@1" in UTF8 encoding could not be made.</translation>
    </message>
    <message>
      <location filename="src/notifications/NotificationWindowController.cpp" line="301" />
      <source>Notifica esportata correttamente.</source>
      <translation>Notification exported successfully.</translation>
    </message>
    <message>
      <location filename="src/messages/HistoryController.cpp" line="121" />
      <source>Numero</source>
      <translation>Number</translation>
    </message>
    <message>
      <location filename="suite/app/MainWindow.cpp" line="105" />
      <source>Nuova attività</source>
      <translation>New task</translation>
    </message>
    <message>
      <location filename="src/messages/MessageWindowCompose.cpp" line="360" />
      <source>Nuovo messaggio</source>
      <translation>New message</translation>
    </message>
    <message>
      <location filename="src/messages/HistoryController.cpp" line="116" />
      <source>Oggetto</source>
      <translation>Subject</translation>
    </message>
    <message>
      <location filename="src/messages/ui/MessageWindow.cpp" line="213" />
      <source>Oggetto:</source>
      <translation>Subject:</translation>
    </message>
    <message>
      <location filename="src/messages/MessageHeaderText.cpp" line="25" />
      <source>Oggetto: </source>
      <translation>Subject: </translation>
    </message>
    <message>
      <location filename="src/platform/widgets/PdfViewer.cpp" line="49" />
      <source>Pagina precedente</source>
      <translation>Previous page</translation>
    </message>
    <message>
      <location filename="src/platform/widgets/PdfViewer.cpp" line="56" />
      <source>Pagina successiva</source>
      <translation>Next page</translation>
    </message>
    <message>
      <location filename="suite/app/FolderCatalog.cpp" line="61" />
      <source>Partita IVA</source>
      <translation>VAT number</translation>
    </message>
    <message>
      <location filename="suite/app/FolderCatalog.cpp" line="83" />
      <source>Posta eliminata</source>
      <translation>Deleted items</translation>
    </message>
    <message>
      <location filename="suite/app/FolderCatalog.cpp" line="79" />
      <source>Posta in arrivo</source>
      <translation>Inbox</translation>
    </message>
    <message>
      <location filename="suite/app/FolderCatalog.cpp" line="82" />
      <source>Posta inviata</source>
      <translation>Sent items</translation>
    </message>
    <message>
      <location filename="src/messages/MessageCommands.cpp" line="119" />
      <source>Priorità &amp;bassa</source>
      <translation>&amp;Low priority</translation>
    </message>
    <message>
      <location filename="src/messages/MessageHeaderText.cpp" line="25" />
      <source>Priorità: </source>
      <translation>Priority: </translation>
    </message>
    <message>
      <location filename="suite/app/FolderCatalog.cpp" line="60" />
      <source>Provincia</source>
      <translation>Province</translation>
    </message>
    <message>
      <source>R: </source>
      <translation type="vanished" />
    </message>
    <message>
      <location filename="suite/app/FolderCatalog.cpp" line="58" />
      <source>Ragione sociale</source>
      <translation>Company name</translation>
    </message>
    <message>
      <location filename="src/messages/MessageCommands.cpp" line="137" />
      <source>Rendi &amp;pubblica</source>
      <translation>Make &amp;public</translation>
    </message>
    <message>
      <source>Rendi Pubblico</source>
      <translation type="vanished">Make Public</translation>
    </message>
    <message>
      <location filename="src/platform/widgets/PdfViewer.cpp" line="58" />
      <source>Riduci</source>
      <translation>Zoom out</translation>
    </message>
    <message>
      <location filename="src/messages/MessageWindowController.cpp" line="161" />
      <source>Rifiutata</source>
      <translation>Declined</translation>
    </message>
    <message>
      <location filename="src/messages/MessageWindowCommands.cpp" line="198" />
      <source>Rimuovere il collegamento a "@1"?</source>
      <translation>Remove the link to "@1"?</translation>
    </message>
    <message>
      <location filename="src/messages/MessageCommands.cpp" line="150" />
      <source>Rimuovi</source>
      <translation>Remove</translation>
    </message>
    <message>
      <location filename="src/messages/MessageCommands.cpp" line="115" />
      <source>Rimuovi &amp;collegamento</source>
      <translation>Remove &amp;link</translation>
    </message>
    <message>
      <location filename="src/messages/MessageCommands.cpp" line="170" />
      <source>Rimuovi Messaggio Pubblico</source>
      <translation>Remove Public Message</translation>
    </message>
    <message>
      <location filename="src/messages/MessageCommands.cpp" line="152" />
      <source>Rimuovi tutti</source>
      <translation>Remove all</translation>
    </message>
    <message>
      <location filename="src/messages/MessageWindowController.cpp" line="161" />
      <source>Rinviata</source>
      <translation>Postponed</translation>
    </message>
    <message>
      <location filename="src/messages/MessageCommands.cpp" line="107" />
      <source>Rispondi a t&amp;utti</source>
      <translation>Reply to &amp;all</translation>
    </message>
    <message>
      <location filename="suite/app/DesktopInteraction.cpp" line="179" />
      <source>Rubrica</source>
      <translation>Address book</translation>
    </message>
    <message>
      <location filename="src/messages/MessageCommands.cpp" line="94" />
      <source>Sal&amp;va e chiudi</source>
      <translation>Sa&amp;ve and close</translation>
    </message>
    <message>
      <location filename="src/messages/MessageCommands.cpp" line="148" />
      <source>Salva con nome...</source>
      <translation>Save as...</translation>
    </message>
    <message>
      <location filename="src/messages/ui/MessageWindow.cpp" line="361" />
      <source>Salva tutti...</source>
      <translation>Save all...</translation>
    </message>
    <message>
      <location filename="src/messages/MessageWindowCompose.cpp" line="438" />
      <source>Salvare le modifiche a "@1"?</source>
      <translation>Save the changes to "@1"?</translation>
    </message>
    <message>
      <location filename="src/messages/ui/MessageWindow.cpp" line="301" />
      <source>Scadenza:</source>
      <translation>Due:</translation>
    </message>
    <message>
      <location filename="src/messages/MessageWindowStored.cpp" line="493" />
      <source>Scegliere la cartella in cui salvare gli allegati.</source>
      <translation>Choose the folder to save the attachments in.</translation>
    </message>
    <message>
      <location filename="src/messages/MessageWindowController.cpp" line="161" />
      <source>Sconosciuto</source>
      <translation>Unknown</translation>
    </message>
    <message>
      <location filename="src/messages/MessageWindowStored.cpp" line="89" />
      <source>Senza titolo</source>
      <translation>Untitled</translation>
    </message>
    <message>
      <location filename="src/platform/widgets/RichTextEditor.cpp" line="321" />
      <source>Sottolineato</source>
      <translation>Underline</translation>
    </message>
    <message>
      <location filename="src/messages/MessageWindowCompose.cpp" line="358" />
      <source>Specificare almeno un nome o una lista di distribuzione nelle caselle A, Cc, Ccn.</source>
      <translation>Enter at least one name or distribution list in the To, Cc or Bcc boxes.</translation>
    </message>
    <message>
      <location filename="src/messages/MessageWindowCommands.cpp" line="226" />
      <source>Spostare il messaggio nel cestino?</source>
      <translation>Move the message to the trash?</translation>
    </message>
    <message>
      <source>Stam&amp;pa</source>
      <translation type="vanished">&amp;Print</translation>
    </message>
    <message>
      <location filename="src/messages/MessageCommands.cpp" line="99" />
      <source>Stam&amp;pa...</source>
      <translation>&amp;Print...</translation>
    </message>
    <message>
      <location filename="src/messages/ui/MessageWindow.cpp" line="296" />
      <source>Stato:</source>
      <translation>Status:</translation>
    </message>
    <message>
      <location filename="suite/app/MainWindow.cpp" line="108" />
      <source>Storico messaggi</source>
      <translation>Message history</translation>
    </message>
    <message>
      <location filename="src/messages/HistoryController.cpp" line="120" />
      <source>Tabella</source>
      <translation>Table</translation>
    </message>
    <message>
      <location filename="suite/app/FolderCatalog.cpp" line="76" />
      <source>Totale</source>
      <translation>Total</translation>
    </message>
    <message>
      <location filename="src/messages/MessageWindowCompose.cpp" line="241" />
      <source>Tutti i file (*.*)|*.*</source>
      <translation>All files (*.*)|*.*</translation>
    </message>
    <message>
      <location filename="src/platform/imap/ImapConnection.cpp" line="208" />
      <source>Unreadable %1 response</source>
      <translation>Unreadable %1 response</translation>
    </message>
    <message>
      <location filename="src/messages/HistoryController.cpp" line="119" />
      <source>Utente</source>
      <translation>User</translation>
    </message>
    <message>
      <location filename="src/templates/TemplateSendController.cpp" line="287" />
      <source>Verifica messaggio @1 di @2 in corso...</source>
      <translation>Checking message @1 of @2...</translation>
    </message>
  </context>
</TS>
