<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>ClipboardKeeper</name>
    <message>
        <source>Couldn&apos;t pass the clipboard on.</source>
        <translation>Die Zwischenablage konnte nicht weitergegeben werden.</translation>
    </message>
    <message>
        <source>Couldn&apos;t start the clipboard keeper.</source>
        <translation>Der Zwischenablage-Hüter konnte nicht gestartet werden.</translation>
    </message>
    <message>
        <source>The clipboard keeper did not take the clipboard.</source>
        <translation>Der Zwischenablage-Hüter hat die Zwischenablage nicht übernommen.</translation>
    </message>
    <message>
        <source>Keeping the clipboard after Cropling ends needs X11 or XWayland (DISPLAY is unset).</source>
        <translation>Die Zwischenablage nach dem Ende von Cropling zu behalten, braucht X11 oder XWayland (DISPLAY ist nicht gesetzt).</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>--copy needs an X11 display (DISPLAY is unset)</source>
        <translation>--copy braucht eine X11-Anzeige (DISPLAY ist nicht gesetzt)</translation>
    </message>
    <message>
        <source>Turns a photo into a 128x128 PNG emoji.

Also: cropling render FILE... -o OUT (see cropling render --help).</source>
        <translation>Macht aus einem Foto ein Emoji-PNG mit 128×128.

Außerdem: cropling render DATEI... -o AUS (siehe cropling render --help).</translation>
    </message>
    <message>
        <source>Pictures (paths or file:// URLs) to open, a window each.</source>
        <translation>Zu öffnende Bilder (Pfade oder file://-URLs), je ein Fenster.</translation>
    </message>
    <message>
        <source>%1 needs a file or folder</source>
        <translation>%1 braucht eine Datei oder einen Ordner</translation>
    </message>
    <message>
        <source>--offset needs two numbers, X,Y</source>
        <translation>--offset braucht zwei Zahlen, X,Y</translation>
    </message>
    <message>
        <source>--size needs a whole number from 1 to %1</source>
        <translation>--size braucht eine ganze Zahl von 1 bis %1</translation>
    </message>
    <message>
        <source>unknown option %1</source>
        <translation>unbekannte Option %1</translation>
    </message>
    <message>
        <source>render needs a picture</source>
        <translation>render braucht ein Bild</translation>
    </message>
    <message>
        <source>--copy takes one picture</source>
        <translation>--copy nimmt genau ein Bild</translation>
    </message>
    <message>
        <source>render needs -o OUT.png, -o - or -o FOLDER/</source>
        <translation>render braucht -o AUS.png, -o - oder -o ORDNER/</translation>
    </message>
    <message>
        <source>-o - takes one picture</source>
        <translation>-o - nimmt genau ein Bild</translation>
    </message>
    <message>
        <source>-o is given twice</source>
        <translation>-o ist zweimal angegeben</translation>
    </message>
    <message>
        <source>--zoom needs a number above 0</source>
        <translation>--zoom braucht eine Zahl über 0</translation>
    </message>
    <message>
        <source>-o - would write a PNG to the terminal; redirect it to a file</source>
        <translation>-o - würde ein PNG ins Terminal schreiben; leiten Sie es in eine Datei um</translation>
    </message>
    <message>
        <source>several pictures need -o FOLDER/</source>
        <translation>mehrere Bilder brauchen -o ORDNER/</translation>
    </message>
    <message>
        <source>can&apos;t make the folder %1</source>
        <translation>der Ordner %1 lässt sich nicht anlegen</translation>
    </message>
    <message>
        <source>--max-bytes needs a whole number of bytes above 0</source>
        <translation>--max-bytes braucht eine ganze Zahl von Bytes über 0</translation>
    </message>
    <message>
        <source>a picture&apos;s name is empty</source>
        <translation>der Name eines Bildes ist leer</translation>
    </message>
    <message>
        <source>--target needs one of: %1</source>
        <translation>--target braucht eines von: %1</translation>
    </message>
    <message>
        <source>--rotate needs 90, 180 or 270 (degrees clockwise)</source>
        <translation>--rotate braucht 90, 180 oder 270 (Grad im Uhrzeigersinn)</translation>
    </message>
    <message>
        <source>%1 needs a time in the clip, as seconds (1.5) or m:ss.s (0:01.5)</source>
        <translation>%1 braucht eine Zeit im Clip, in Sekunden (1.5) oder als m:ss.s (0:01.5)</translation>
    </message>
    <message>
        <source>--end needs a time after --start</source>
        <translation>--end braucht eine Zeit nach --start</translation>
    </message>
    <message>
        <source>--speed needs slow, normal or fast, or for a clip a number from %1 to %2</source>
        <translation>--speed braucht slow, normal oder fast, für einen Clip eine Zahl von %1 bis %2</translation>
    </message>
    <message>
        <source>--effect needs one of: %1</source>
        <translation>--effect braucht eines von: %1</translation>
    </message>
    <message>
        <source>--caption needs a text</source>
        <translation>--caption braucht einen Text</translation>
    </message>
    <message>
        <source>Usage: cropling render FILE -o OUT.png|OUT.gif [--zoom Z] [--offset X,Y | --auto] [--size N]
                                [--rotate 90|180|270] [--flip] [--cutout] [--target T] [--max-bytes B]
       cropling render CLIP -o OUT.gif [--start S] [--end E] [--speed X] [...]
       cropling render STILL -o OUT.gif --effect party|shake|spin|pulse [--speed slow|normal|fast]
                                [--caption TEXT] [...]
       cropling render FILE... -o FOLDER/
       cropling render FILE [--zoom Z] [--offset X,Y] --copy

Renders emoji without a window, exactly as the scripted save does: the square centred,
zoom Z (as given), offset X,Y in pixels of the 340-pixel square (clamped), N pixels a side
(128; at most %1). -o - writes the PNG to standard output (not to a terminal). With several
files, or an output ending in /, each emoji goes into the folder under its name, rendered
on all cores; the folder is made if it is missing. A picture is never written over.
--auto frames each picture&apos;s face (or its busiest part) instead of --zoom and --offset.
--rotate turns each picture clockwise and --flip swaps its left and right (after the turn),
before it is framed. --cutout makes a plain background (a studio, a wall, a flat colour)
transparent first.
An output ending in .gif is an animated GIF within the caps of the chat service T
(%2; the first is the default): its frames, colours and detail weighed against each
other until it fits. --max-bytes B sets another byte cap. Any other output is a PNG
(of an animation, its first frame). In a folder, an animation is saved as NAME.gif.
A video clip (MP4, MOV, WebM, MKV) is an animation of the part from S to E (seconds, 1.5,
or m:ss.s), played X times as fast (0.5 to 2): by default its first 3 seconds.
--effect makes a looping reaction of a still, or runs over every frame of an animation or
a clip: party colours, a shake, a spin or a pulse (--speed slow, normal or fast);
--caption draws a text at its foot on every frame (a still with a caption alone stays a PNG).
</source>
        <translation>Aufruf: cropling render DATEI -o AUS.png|AUS.gif [--zoom Z] [--offset X,Y | --auto] [--size N]
                                [--rotate 90|180|270] [--flip] [--cutout] [--target T] [--max-bytes B]
       cropling render CLIP -o AUS.gif [--start S] [--end E] [--speed X] [...]
       cropling render STANDBILD -o AUS.gif --effect party|shake|spin|pulse [--speed slow|normal|fast]
                                [--caption TEXT] [...]
       cropling render DATEI... -o ORDNER/
       cropling render DATEI [--zoom Z] [--offset X,Y] --copy

Erstellt Emojis ohne Fenster, genau wie das Speichern per Skript: das Quadrat mittig,
Zoom Z (wie angegeben), Versatz X,Y in Pixeln des 340-Pixel-Quadrats (begrenzt), N Pixel
Seitenlänge (128; höchstens %1). -o - schreibt das PNG auf die Standardausgabe (nicht in ein
Terminal). Bei mehreren Dateien oder einer Ausgabe, die auf / endet, kommt jedes Emoji unter
seinem Namen in den Ordner, auf allen Kernen erstellt; ein fehlender Ordner wird angelegt.
Ein Bild wird nie überschrieben.
--auto rahmt statt --zoom und --offset das Gesicht jedes Bildes ein (oder seinen lebhaftesten Teil).
--rotate dreht jedes Bild im Uhrzeigersinn, --flip vertauscht links und rechts (nach der Drehung),
bevor es gerahmt wird. --cutout macht zuerst einen schlichten Hintergrund (Studio, Wand, eine
Farbe) durchsichtig.
Eine Ausgabe auf .gif ist ein animiertes GIF in den Grenzen des Chatdienstes T
(%2; der erste gilt ohne Angabe): Bilder, Farben und Details werden gegeneinander abgewogen,
bis es passt. --max-bytes B setzt eine andere Bytegrenze. Jede andere Ausgabe ist ein PNG
(einer Animation ihr erstes Bild). In einem Ordner wird eine Animation als NAME.gif gespeichert.
Ein Videoclip (MP4, MOV, WebM, MKV) wird zur Animation des Teils von S bis E (Sekunden, 1.5,
oder m:ss.s), X-mal so schnell abgespielt (0.5 bis 2): ohne Angabe seine ersten 3 Sekunden.
--effect macht aus einem Standbild eine Reaktion in Schleife oder läuft über jedes Bild einer
Animation oder eines Clips: Partyfarben, Zittern, Drehen oder Pulsieren (--speed slow, normal oder fast);
--caption schreibt einen Text an den Fuß jedes Bildes (ein Standbild nur mit Text bleibt ein PNG).
</translation>
    </message>
    <message>
        <source>--speed slow, normal or fast needs --effect; a clip&apos;s speed is a number from %1 to %2</source>
        <translation>--speed slow, normal oder fast braucht --effect; die Geschwindigkeit eines Clips ist eine Zahl von %1 bis %2</translation>
    </message>
</context>
<context>
    <name>EditCommands</name>
    <message>
        <source>Move</source>
        <translation>Verschieben</translation>
    </message>
    <message>
        <source>Zoom</source>
        <translation>Zoom</translation>
    </message>
    <message>
        <source>Reset Crop</source>
        <translation>Zuschnitt zurücksetzen</translation>
    </message>
    <message>
        <source>Fit</source>
        <translation>Einpassen</translation>
    </message>
    <message>
        <source>Rename</source>
        <translation>Umbenennen</translation>
    </message>
    <message>
        <source>New Picture</source>
        <translation>Neues Bild</translation>
    </message>
    <message>
        <source>Auto-Frame</source>
        <translation>Automatisch einrahmen</translation>
    </message>
    <message>
        <source>Rotate Left</source>
        <translation>Nach links drehen</translation>
    </message>
    <message>
        <source>Rotate Right</source>
        <translation>Nach rechts drehen</translation>
    </message>
    <message>
        <source>Flip Horizontally</source>
        <translation>Horizontal spiegeln</translation>
    </message>
    <message>
        <source>Rotate</source>
        <translation>Drehen</translation>
    </message>
    <message>
        <source>Change Span</source>
        <translation>Abschnitt ändern</translation>
    </message>
    <message>
        <source>Caption</source>
        <translation>Beschriftung</translation>
    </message>
    <message>
        <source>Effect</source>
        <translation>Effekt</translation>
    </message>
    <message>
        <source>Remove Background</source>
        <translation>Hintergrund entfernen</translation>
    </message>
    <message>
        <source>Mark to Keep</source>
        <translation>Zum Behalten markieren</translation>
    </message>
    <message>
        <source>Mark to Remove</source>
        <translation>Zum Entfernen markieren</translation>
    </message>
    <message>
        <source>Couldn&apos;t cut the picture out with the marks</source>
        <translation>Das Bild ließ sich mit den Markierungen nicht freistellen</translation>
    </message>
    <message>
        <source>Couldn&apos;t cut the picture out with the marks: %1</source>
        <translation>Das Bild ließ sich mit den Markierungen nicht freistellen: %1</translation>
    </message>
    <message>
        <source>Cancelled</source>
        <translation>Abgebrochen</translation>
    </message>
</context>
<context>
    <name>FaceFraming</name>
    <message>
        <source>face detection isn&apos;t installed (%1)</source>
        <translation>die Gesichtserkennung ist nicht installiert (%1)</translation>
    </message>
    <message>
        <source>no picture to frame</source>
        <translation>kein Bild zum Einrahmen</translation>
    </message>
    <message>
        <source>the picture could not be searched</source>
        <translation>das Bild ließ sich nicht durchsuchen</translation>
    </message>
</context>
<context>
    <name>SaveDialog</name>
    <message>
        <source>Save Emoji PNG</source>
        <translation>Emoji-PNG speichern</translation>
    </message>
    <message>
        <source>Save Emoji GIF</source>
        <translation>Emoji-GIF speichern</translation>
    </message>
</context>
<context>
    <name>ShortcutsHelp</name>
    <message>
        <source>Move the picture</source>
        <translation>Bild verschieben</translation>
    </message>
    <message>
        <source>Drag in the square</source>
        <translation>Im Quadrat ziehen</translation>
    </message>
    <message>
        <source>Move it by a pixel (ten with Shift)</source>
        <translation>Um ein Pixel verschieben (zehn mit Umschalt)</translation>
    </message>
    <message>
        <source>Arrow keys, with the square focused</source>
        <translation>Pfeiltasten, wenn das Quadrat den Fokus hat</translation>
    </message>
    <message>
        <source>Zoom toward the pointer</source>
        <translation>Zum Mauszeiger hin zoomen</translation>
    </message>
    <message>
        <source>Mouse wheel, or pinch on a touchpad</source>
        <translation>Mausrad oder Zwei-Finger-Geste auf dem Touchpad</translation>
    </message>
    <message>
        <source>Zoom about the centre</source>
        <translation>Um die Mitte zoomen</translation>
    </message>
    <message>
        <source>Reset the framing</source>
        <translation>Ausschnitt zurücksetzen</translation>
    </message>
    <message>
        <source>double-click</source>
        <translation>Doppelklick</translation>
    </message>
    <message>
        <source>Open a picture</source>
        <translation>Bild öffnen</translation>
    </message>
    <message>
        <source>Drop a file on the square, or click the empty square</source>
        <translation>Datei auf das Quadrat ziehen oder auf das leere Quadrat klicken</translation>
    </message>
    <message>
        <source>Put the emoji into another program</source>
        <translation>Emoji in ein anderes Programm bringen</translation>
    </message>
    <message>
        <source>Drag it out of the preview</source>
        <translation>Aus der Vorschau herausziehen</translation>
    </message>
</context>
<context>
    <name>StatusText</name>
    <message>
        <source>Saved %1 — %2, %3 KB</source>
        <translation>%1 gespeichert — %2, %3 KB</translation>
    </message>
    <message>
        <source>Copied %1 to clipboard — %2</source>
        <translation>%1 in die Zwischenablage kopiert — %2</translation>
    </message>
    <message>
        <source>Save failed: %1</source>
        <translation>Speichern fehlgeschlagen: %1</translation>
    </message>
    <message>
        <source>Couldn&apos;t render the emoji.</source>
        <translation>Das Emoji konnte nicht erstellt werden.</translation>
    </message>
    <message>
        <source>Couldn&apos;t open %1</source>
        <translation>%1 konnte nicht geöffnet werden</translation>
    </message>
    <message>
        <source>No image on the clipboard.</source>
        <translation>Kein Bild in der Zwischenablage.</translation>
    </message>
    <message>
        <source>No picture to export.</source>
        <translation>Kein Bild zum Exportieren.</translation>
    </message>
    <message>
        <source>no such file</source>
        <translation>Datei nicht gefunden</translation>
    </message>
    <message>
        <source>permission denied</source>
        <translation>keine Berechtigung</translation>
    </message>
    <message>
        <source>not a picture Cropling can open</source>
        <translation>kein Bild, das Cropling öffnen kann</translation>
    </message>
    <message>
        <source>damaged</source>
        <translation>beschädigt</translation>
    </message>
    <message>
        <source>too large to open safely</source>
        <translation>zu groß, um es sicher zu öffnen</translation>
    </message>
    <message>
        <source>took too long</source>
        <translation>hat zu lange gedauert</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>No face found — framed the busiest part</source>
        <translation>Kein Gesicht gefunden — der lebhafteste Teil ist eingerahmt</translation>
    </message>
    <message>
        <source>Framed 1 face</source>
        <translation>1 Gesicht eingerahmt</translation>
    </message>
    <message>
        <source>Framed the largest of %1 faces</source>
        <translation>Das größte von %1 Gesichtern eingerahmt</translation>
    </message>
    <message>
        <source>Couldn&apos;t frame the face: %1</source>
        <translation>Das Gesicht ließ sich nicht einrahmen: %1</translation>
    </message>
    <message>
        <source>%1 frames · %2 s</source>
        <translation>%1 Bilder · %2 s</translation>
    </message>
    <message>
        <source>Couldn&apos;t fit the animation in %1 bytes</source>
        <translation>Die Animation passt nicht in %1 Bytes</translation>
    </message>
    <message>
        <source>an animation longer than %1 frames or %2 s</source>
        <translation>eine Animation über %1 Bilder oder %2 s</translation>
    </message>
    <message>
        <source>Saved %1 — %2, %3, %4 KB</source>
        <translation>%1 gespeichert — %2, %3, %4 KB</translation>
    </message>
    <message>
        <source>Copied %1 to clipboard — %2, %3, %4 KB</source>
        <translation>%1 in die Zwischenablage kopiert — %2, %3, %4 KB</translation>
    </message>
    <message>
        <source>%1 of %2 frames</source>
        <translation>%1 von %2 Bildern</translation>
    </message>
    <message>
        <source>1 frame</source>
        <translation>1 Bild</translation>
    </message>
    <message>
        <source>%1 frames</source>
        <translation>%1 Bilder</translation>
    </message>
    <message>
        <source>Making the PNG…</source>
        <translation>Das PNG wird erstellt…</translation>
    </message>
    <message>
        <source>Making the GIF… %1 %</source>
        <translation>Das GIF wird erstellt… %1 %</translation>
    </message>
    <message>
        <source>not written: %1 would replace the picture %2</source>
        <translation>nicht geschrieben: %1 würde das Bild %2 ersetzen</translation>
    </message>
    <message>
        <source>Not saved: another picture was opened while the dialog was open</source>
        <translation>Nicht gespeichert: Während der Dialog offen war, wurde ein anderes Bild geöffnet</translation>
    </message>
    <message>
        <source>No face found — kept your framing</source>
        <translation>Kein Gesicht gefunden — Ihr Ausschnitt bleibt</translation>
    </message>
    <message>
        <source>Couldn&apos;t turn the picture: not enough memory</source>
        <translation>Das Bild konnte nicht gedreht werden: nicht genug Speicher</translation>
    </message>
    <message>
        <source>sound only, no video</source>
        <translation>nur Ton, kein Video</translation>
    </message>
    <message>
        <source>Found no plain background to remove</source>
        <translation>Kein schlichter Hintergrund zum Entfernen gefunden</translation>
    </message>
    <message>
        <source>unsupported video codec</source>
        <translation>Video-Codec nicht unterstützt</translation>
    </message>
    <message>
        <source>%1: %2 (%3)</source>
        <translation>%1: %2 (%3)</translation>
    </message>
    <message>
        <source>Couldn&apos;t render %1: the clip ends at %2, before the span&apos;s start</source>
        <translation>%1 konnte nicht erstellt werden: Der Clip endet bei %2, vor dem Anfang des Ausschnitts</translation>
    </message>
    <message>
        <source>%1 ends at %2: the span was shortened to %3–%4</source>
        <translation>%1 endet bei %2: Der Ausschnitt wurde auf %3–%4 gekürzt</translation>
    </message>
    <message>
        <source>the span starts after the clip&apos;s end</source>
        <translation>der Ausschnitt beginnt nach dem Ende des Clips</translation>
    </message>
    <message>
        <source>%1: the span was taken as %2–%3, as an animation plays for %4 to %5 s</source>
        <translation>%1: Der Ausschnitt wurde als %2–%3 genommen, da eine Animation %4 bis %5 s läuft</translation>
    </message>
</context>
<context>
    <name>cropling::Application</name>
    <message>
        <source>no display to open a window on (DISPLAY and WAYLAND_DISPLAY are unset)</source>
        <translation>keine Anzeige für ein Fenster (DISPLAY und WAYLAND_DISPLAY sind nicht gesetzt)</translation>
    </message>
    <message>
        <source>cannot connect to the display %1</source>
        <translation>keine Verbindung zur Anzeige %1</translation>
    </message>
</context>
<context>
    <name>cropling::ChatMockup</name>
    <message>
        <source>Chat preview</source>
        <translation>Chat-Vorschau</translation>
    </message>
    <message>
        <source>ok this is perfect</source>
        <translation>ok, das ist perfekt</translation>
    </message>
    <message>
        <source>shipping it</source>
        <translation>geht raus</translation>
    </message>
    <message>
        <source>you</source>
        <translation>du</translation>
    </message>
    <message>
        <source>2:47 PM</source>
        <translation>14:47</translation>
    </message>
    <message>
        <source>2:48 PM</source>
        <translation>14:48</translation>
    </message>
</context>
<context>
    <name>cropling::ClipControls</name>
    <message>
        <source>Speed</source>
        <translation>Tempo</translation>
    </message>
    <message>
        <source>How fast the emoji plays the part of the clip</source>
        <translation>Wie schnell das Emoji den Abschnitt des Clips abspielt</translation>
    </message>
    <message>
        <source>%1 s</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>%1 – %2 · decoding…</source>
        <translation>%1 – %2 · wird dekodiert …</translation>
    </message>
    <message>
        <source>%1 – %2 · %3</source>
        <translation>%1 – %2 · %3</translation>
    </message>
</context>
<context>
    <name>cropling::ClipTimeline</name>
    <message>
        <source>Clip span</source>
        <translation>Abschnitt des Clips</translation>
    </message>
    <message>
        <source>Drag the handles to choose the part of the clip, or drag the part to move it.
Arrow keys move it (Shift: by a second); Ctrl with the arrows moves its end.</source>
        <translation>Die Griffe ziehen, um den Abschnitt des Clips zu wählen, oder den Abschnitt ziehen, um ihn zu verschieben.
Pfeiltasten verschieben ihn (Umschalt: um eine Sekunde); Strg mit den Pfeiltasten verschiebt sein Ende.</translation>
    </message>
    <message>
        <source>From %1 to %2 of %3</source>
        <translation>Von %1 bis %2 von %3</translation>
    </message>
</context>
<context>
    <name>cropling::CropArea</name>
    <message>
        <source>Crop area</source>
        <translation>Zuschnittbereich</translation>
    </message>
    <message>
        <source>Drag or use the arrow keys to reposition the picture; wheel, pinch or Ctrl+plus and minus to zoom</source>
        <translation>Ziehen oder Pfeiltasten verschieben das Bild; Mausrad, Zweifingergeste oder Strg+Plus und Minus zoomen</translation>
    </message>
    <message>
        <source>Add photo</source>
        <translation>Foto hinzufügen</translation>
    </message>
    <message>
        <source>Drop or paste a photo here
or click to choose</source>
        <translation>Foto hier ablegen oder einfügen
oder zum Auswählen klicken</translation>
    </message>
    <message>
        <source>Opening the picture</source>
        <translation>Das Bild wird geöffnet</translation>
    </message>
    <message>
        <source>Making the emoji</source>
        <translation>Das Emoji wird erstellt</translation>
    </message>
    <message>
        <source>Drag or arrow keys (Shift: ×10) to move · wheel, pinch or Ctrl+plus/minus to zoom · double-click or Ctrl+0 to reset</source>
        <translation>Ziehen oder Pfeiltasten (Umschalt: ×10) zum Verschieben · Mausrad, Zwei-Finger-Geste oder Strg+Plus/Minus zum Zoomen · Doppelklick oder Strg+0 zum Zurücksetzen</translation>
    </message>
    <message>
        <source>Changing the picture (Escape cancels)</source>
        <translation>Das Bild wird geändert (Escape bricht ab)</translation>
    </message>
</context>
<context>
    <name>cropling::EditorColumn</name>
    <message>
        <source>Crop</source>
        <translation>Zuschnitt</translation>
    </message>
    <message>
        <source>Zoom</source>
        <translation>Zoom</translation>
    </message>
    <message>
        <source>Drag to reposition, slide to zoom</source>
        <translation>Ziehen zum Verschieben, Regler zum Zoomen</translation>
    </message>
    <message>
        <source>Reset Crop</source>
        <translation>Zuschnitt zurücksetzen</translation>
    </message>
    <message>
        <source>Choose Another…</source>
        <translation>Anderes wählen …</translation>
    </message>
    <message>
        <source>Zoom Out</source>
        <translation>Verkleinern</translation>
    </message>
    <message>
        <source>Zoom In</source>
        <translation>Vergrößern</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Anhalten</translation>
    </message>
    <message>
        <source> KB</source>
        <translation> KB</translation>
    </message>
    <message>
        <source>Largest GIF size</source>
        <translation>Größte GIF-Größe</translation>
    </message>
    <message>
        <source>The animated GIF is made to fit this size</source>
        <translation>Das animierte GIF wird auf diese Größe gebracht</translation>
    </message>
    <message>
        <source>Size limit</source>
        <translation>Größengrenze</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Abspielen</translation>
    </message>
</context>
<context>
    <name>cropling::EmojiSquare</name>
    <message>
        <source>Emoji preview at %1 pixels</source>
        <translation>Emoji-Vorschau mit %1 Pixeln</translation>
    </message>
</context>
<context>
    <name>cropling::MainWindow</name>
    <message>
        <source>About Cropling</source>
        <translation>Über Cropling</translation>
    </message>
    <message>
        <source>%1 — Cropling</source>
        <translation>%1 — Cropling</translation>
    </message>
    <message>
        <source>Choose Photo</source>
        <translation>Foto wählen</translation>
    </message>
    <message>
        <source>Pictures (%1)</source>
        <translation>Bilder (%1)</translation>
    </message>
    <message>
        <source>&lt;p&gt;&lt;b&gt;Cropling %1&lt;/b&gt;&lt;/p&gt;&lt;p&gt;Turns a photo into a %2 PNG for a chat service&apos;s custom emoji.&lt;/p&gt;&lt;p&gt;Free software under the MIT licence.&lt;br&gt;&lt;a href=&quot;https://cropling.org&quot;&gt;cropling.org&lt;/a&gt;&lt;/p&gt;</source>
        <translation>&lt;p&gt;&lt;b&gt;Cropling %1&lt;/b&gt;&lt;/p&gt;&lt;p&gt;Macht aus einem Foto ein %2-PNG für eigene Emojis eines Chat-Dienstes.&lt;/p&gt;&lt;p&gt;Freie Software unter der MIT-Lizenz.&lt;br&gt;&lt;a href=&quot;https://cropling.org&quot;&gt;cropling.org&lt;/a&gt;&lt;/p&gt;</translation>
    </message>
    <message>
        <source>&lt;p&gt;This system refuses unprivileged namespaces: pictures are decoded in helpers confined by their system call filter alone.&lt;/p&gt;</source>
        <translation>&lt;p&gt;Dieses System verweigert unprivilegierte Namensräume: Bilder werden in Hilfsprozessen dekodiert, die allein ihr Systemaufruf-Filter einschränkt.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>&lt;p&gt;Pictures are decoded in confined helpers, with no network, no files and no other processes.&lt;/p&gt;</source>
        <translation>&lt;p&gt;Bilder werden in abgeschotteten Hilfsprozessen dekodiert, ohne Netzwerk, ohne Dateien und ohne andere Prozesse.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>Keyboard Shortcuts</source>
        <translation>Tastenkürzel</translation>
    </message>
</context>
<context>
    <name>cropling::NameRow</name>
    <message>
        <source>emoji-name</source>
        <translation>emoji-name</translation>
    </message>
    <message>
        <source>Emoji name</source>
        <translation>Emoji-Name</translation>
    </message>
</context>
<context>
    <name>cropling::PreviewColumn</name>
    <message>
        <source>Saves a %1 PNG — Slack&apos;s max size for custom emoji.
Upload it at Slack → Customize Workspace → Emoji.</source>
        <translation>Speichert ein PNG mit %1 — die größte Größe für eigene Emojis in Slack.
Hochladen unter Slack → Arbeitsbereich anpassen → Emoji.</translation>
    </message>
    <message>
        <source>Slack Preview</source>
        <translation>Slack-Vorschau</translation>
    </message>
    <message>
        <source>Preview appearance</source>
        <translation>Aussehen der Vorschau</translation>
    </message>
    <message>
        <source>Light</source>
        <translation>Hell</translation>
    </message>
    <message>
        <source>Dark</source>
        <translation>Dunkel</translation>
    </message>
    <message>
        <source>Emoji names use a–z, 0–9, - and _</source>
        <translation>Emoji-Namen bestehen aus a–z, 0–9, - und _</translation>
    </message>
    <message>
        <source>Saves a %1 GIF of at most %2 KB and %3 frames — Slack&apos;s limit for animated emoji.
Upload it at Slack → Customize Workspace → Emoji.</source>
        <translation>Speichert ein %1-GIF von höchstens %2 KB und %3 Bildern — Slacks Grenze für animierte Emojis.
Hochladen unter Slack → Arbeitsbereich anpassen → Emoji.</translation>
    </message>
    <message>
        <source>Saves a %1 GIF of at most %2 KB and %3 frames — your limit.
Upload it at Slack → Customize Workspace → Emoji.</source>
        <translation>Speichert ein %1-GIF von höchstens %2 KB und %3 Bildern — Ihre Grenze.
Hochladen unter Slack → Arbeitsbereich anpassen → Emoji.</translation>
    </message>
</context>
<context>
    <name>cropling::StatusLine</name>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
</context>
<context>
    <name>cropling::WindowActions</name>
    <message>
        <source>New Window</source>
        <translation>Neues Fenster</translation>
    </message>
    <message>
        <source>Choose Photo…</source>
        <translation>Foto wählen …</translation>
    </message>
    <message>
        <source>Save Emoji PNG…</source>
        <translation>Emoji-PNG speichern …</translation>
    </message>
    <message>
        <source>Close Window</source>
        <translation>Fenster schließen</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Copy to Clipboard</source>
        <translation>In die Zwischenablage kopieren</translation>
    </message>
    <message>
        <source>Paste Photo</source>
        <translation>Foto einfügen</translation>
    </message>
    <message>
        <source>About Cropling</source>
        <translation>Über Cropling</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>&amp;Bearbeiten</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>Rückgängig</translation>
    </message>
    <message>
        <source>Redo</source>
        <translation>Wiederholen</translation>
    </message>
    <message>
        <source>Fit</source>
        <translation>Einpassen</translation>
    </message>
    <message>
        <source>Pasting…</source>
        <translation>Wird eingefügt …</translation>
    </message>
    <message>
        <source>Open &amp;Recent</source>
        <translation>&amp;Zuletzt geöffnet</translation>
    </message>
    <message>
        <source>No Recent Pictures</source>
        <translation>Keine zuletzt geöffneten Bilder</translation>
    </message>
    <message>
        <source>Auto-Frame</source>
        <translation>Automatisch einrahmen</translation>
    </message>
    <message>
        <source>Frame the face</source>
        <translation>Das Gesicht einrahmen</translation>
    </message>
    <message>
        <source>Save Emoji GIF…</source>
        <translation>Emoji-GIF speichern …</translation>
    </message>
    <message>
        <source>Undo %1</source>
        <translation>Rückgängig: %1</translation>
    </message>
    <message>
        <source>Redo %1</source>
        <translation>Wiederholen: %1</translation>
    </message>
    <message>
        <source>Keyboard Shortcuts</source>
        <translation>Tastenkürzel</translation>
    </message>
    <message>
        <source>&amp;Tools</source>
        <translation>&amp;Werkzeuge</translation>
    </message>
    <message>
        <source>Rotate Left</source>
        <translation>Nach links drehen</translation>
    </message>
    <message>
        <source>Rotate Right</source>
        <translation>Nach rechts drehen</translation>
    </message>
    <message>
        <source>Flip Horizontally</source>
        <translation>Horizontal spiegeln</translation>
    </message>
    <message>
        <source>Effect</source>
        <translation>Effekt</translation>
    </message>
    <message>
        <source>Party, shake, spin or pulse, and a caption</source>
        <translation>Party, Zittern, Drehen oder Pulsieren, und eine Beschriftung</translation>
    </message>
    <message>
        <source>No Effect</source>
        <translation>Kein Effekt</translation>
    </message>
    <message>
        <source>Party</source>
        <translation>Party</translation>
    </message>
    <message>
        <source>Shake</source>
        <translation>Zittern</translation>
    </message>
    <message>
        <source>Spin</source>
        <translation>Drehen</translation>
    </message>
    <message>
        <source>Pulse</source>
        <translation>Pulsieren</translation>
    </message>
    <message>
        <source>Slow</source>
        <translation>Langsam</translation>
    </message>
    <message>
        <source>Normal Speed</source>
        <translation>Normales Tempo</translation>
    </message>
    <message>
        <source>Fast</source>
        <translation>Schnell</translation>
    </message>
    <message>
        <source>Caption…</source>
        <translation>Beschriftung …</translation>
    </message>
    <message>
        <source>Caption</source>
        <translation>Beschriftung</translation>
    </message>
    <message>
        <source>Text on every frame of the emoji:</source>
        <translation>Text auf jedem Bild des Emojis:</translation>
    </message>
    <message>
        <source>Caption at the Top</source>
        <translation>Beschriftung oben</translation>
    </message>
    <message>
        <source>Remove Background</source>
        <translation>Hintergrund entfernen</translation>
    </message>
    <message>
        <source>Make a plain background transparent</source>
        <translation>Einen schlichten Hintergrund durchsichtig machen</translation>
    </message>
    <message>
        <source>Mark to Keep</source>
        <translation>Zum Behalten markieren</translation>
    </message>
    <message>
        <source>Paint over what the removal took but should keep</source>
        <translation>Übermalen, was die Entfernung genommen hat, aber bleiben soll</translation>
    </message>
    <message>
        <source>Mark to Remove</source>
        <translation>Zum Entfernen markieren</translation>
    </message>
    <message>
        <source>Paint over what the removal left but should take</source>
        <translation>Übermalen, was die Entfernung gelassen hat, aber weg soll</translation>
    </message>
</context>
</TS>
