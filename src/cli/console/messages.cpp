// Every text dm730 shows a person, in both its languages. A row's two texts
// take the same values in the same order: a test holds them to it.
#include "cli/console/messages.h"

#include <cstdarg>
#include <cstdio>

#include "cli/console/console_text.h"
#include "cli/console/language.h"

const MessageText MessageTable[MessageCount] = {
    {MsgNone, "", ""},

    // Words that many messages share.
    {MsgBlockOne, "blok", "block"},
    {MsgBlockFew, "bloki", "blocks"},
    {MsgBlockMany, "bloków", "blocks"},
    {MsgByteOne, "bajt", "byte"},
    {MsgByteFew, "bajty", "bytes"},
    {MsgByteMany, "bajtów", "bytes"},
    {MsgPortIs, "Port : %s", "Port: %s"},
    {MsgIndented, "  %s", "  %s"},
    {MsgTagged, "[%s] %s", "[%s] %s"},
    {MsgInParentheses, "  (%s)", "  (%s)"},

    // The command line: values, options, commands.
    {MsgValuePort, "P", "P"},
    {MsgValueCount, "N", "N"},
    {MsgValueLanguage, "pl|en", "pl|en"},
    {MsgValueFile, "PLIK", "FILE"},
    {MsgValueKind, "RODZAJ", "KIND"},
    {MsgOptionAll,
     "detect, write, verify, backup, restore: na każdym porcie,\n"
     "na którym odpowiada sterownik, każdy w osobnym procesie",
     "detect, write, verify, backup, restore: on every port\n"
     "where a controller answers, each in a process of its own"},
    {MsgOptionPort,
     "port sterownika: COM3 w Windows, ścieżka urządzenia\n"
     "w Linuksie (/dev/ttyUSB0), albo adapter: serial=NUMER,\n"
     "VID:PID (0403:6001), location=1-1.2, nazwa z\n"
     "/dev/serial/by-id (dm730 ports podaje, co wybiera port\n"
     "jednoznacznie); bez tej opcji sterownik jest szukany\n"
     "na każdym porcie, jak robi to okno; podany kilka razy\n"
     "(detect, write, verify, backup, restore): na każdym\n"
     "z tych portów",
     "the controller's port: COM3 on Windows, a device path\n"
     "on Linux (/dev/ttyUSB0), or an adapter: serial=NUMBER,\n"
     "VID:PID (0403:6001), location=1-1.2, a name from\n"
     "/dev/serial/by-id (dm730 ports says what picks a port\n"
     "alone); without it the controller is looked for on\n"
     "every port, as the window does; given several times\n"
     "(detect, write, verify, backup, restore): on each of\n"
     "those ports"},
    {MsgOptionForce, "read, backup: zastąp istniejące pliki (także PLIK.part)",
     "read, backup: replace existing files (FILE.part too)"},
    {MsgOptionResume,
     "read: dokończ odczyt zebrany w PLIK.part;\n"
     "restore: dokończ przerwane odtworzenie kopii",
     "read: finish the read gathered in FILE.part;\n"
     "restore: finish an interrupted restore"},
    {MsgOptionFromBlock,
     "write: zapisz od bloku N obszaru (od 1), by dokończyć\n"
     "przerwany zapis; blok przed nim musi już być w Dm730",
     "write: write from block N of the region (from 1) to\n"
     "finish an interrupted write; the block before it must\n"
     "be in the Dm730 already"},
    {MsgOptionRetries,
     "ile razy ponowić blok po błędzie linii (domyślnie 3;\n"
     "0: pierwszy błąd kończy transmisję, jak w oknie)",
     "how often to try a block again after a fault of the\n"
     "line (3 by default; 0: the first fault ends the\n"
     "transfer, as in the window)"},
    {MsgOptionVerify, "write: odczytaj zapisane bloki i porównaj z plikiem",
     "write: read the written blocks back and compare them"},
    {MsgOptionNoVerify, "restore: bez odczytu kontrolnego (o połowę krócej)",
     "restore: without the read-back (half the time)"},
    {MsgOptionMaxDifferences,
     "verify: wypisz najwyżej N różnic (domyślnie 20),\npozostałe tylko policz",
     "verify: list at most N differences (20 by default),\nonly count the others"},
    {MsgOptionTrace,
     "dopisz do PLIKU każdą wymianę z linią (czas, kierunek,\n"
     "co to jest, bajty); bez tej opcji ostatnie 64 wymiany\n"
     "trafiają do dm730-trace-CZAS.txt w folderze stanu, gdy\n"
     "polecenie kończy się kodem 1, 5 lub 6",
     "append every exchange on the line to FILE (time,\n"
     "direction, what it is, bytes); without it the last 64\n"
     "go to dm730-trace-TIME.txt in the state folder when\n"
     "the command ends with code 1, 5 or 6"},
    {MsgOptionNoTrace, "nie zapisuj żadnych wymian z linią", "keep no exchanges with the line"},
    {MsgOptionLoopback,
     "linetest: na porcie jest wtyczka pętli zwrotnej\n(TX połączone z RX), nie Dm730",
     "linetest: the port has a loopback plug\n(TX joined to RX), not a Dm730"},
    {MsgOptionSeconds, "linetest --loopback: jak długo nadawać (domyślnie 10 s)",
     "linetest --loopback: how long to send (10 s by default)"},
    {MsgOptionJson,
     "wyniki dla programów: na stdout wiersze JSON (tylko\n"
     "ASCII) wg schematu dm730-events; teksty dla ludzi idą\n"
     "wtedy na stderr",
     "results for programs: JSON lines on stdout (ASCII\n"
     "only) by the schema dm730-events; texts for people\n"
     "then go to stderr"},
    {MsgOptionLang,
     "język komunikatów: pl (polski) albo en (angielski);\n"
     "bez tej opcji DM730_LANG, a bez niej język systemu\n"
     "(LC_ALL, LC_MESSAGES, LANG; w Windows język interfejsu)",
     "the language of the messages: pl (Polish) or en\n"
     "(English); without it DM730_LANG, without that the\n"
     "system's (LC_ALL, LC_MESSAGES, LANG; on Windows the\n"
     "interface language)"},
    {MsgOptionQuiet, "nie pokazuj postępu ani podsumowania, tylko błędy\n(i różnice weryfikacji)",
     "show no progress and no summary, only failures\n(and a verify's differences)"},
    {MsgOptionHelp, "ten opis", "this help"},
    {MsgOptionVersion, "wersja programu", "the program's version"},
    {MsgUsagePorts,
     "ports\n    lista portów szeregowych: nazwa, adapter (VID:PID, nazwa, numer seryjny,\n"
     "    miejsce), czy zajęty, i --port, który go wybiera jednoznacznie",
     "ports\n    list the serial ports: name, adapter (VID:PID, name, serial number,\n"
     "    location), whether held, and the --port that picks it alone"},
    {MsgUsageDetect, "detect [--port P ... | --all]\n    znajdź sterownik: jego port i obie wersje",
     "detect [--port P ... | --all]\n    find the controller: its port and both versions"},
    {MsgUsageWrite,
     "write RODZAJ PLIK [--port P ... | --all] [--verify] [--from-block N] [--retries N]\n"
     "    zapisz plik do pamięci Dm730 (--verify: odczytaj zapisane bloki i porównaj)",
     "write KIND FILE [--port P ... | --all] [--verify] [--from-block N] [--retries N]\n"
     "    write a file into the Dm730's memory (--verify: read the blocks back, compare)"},
    {MsgUsageRead,
     "read RODZAJ PLIK [--port P] [--force] [--resume] [--retries N]\n"
     "    odczytaj obszar pamięci Dm730 do pliku",
     "read KIND FILE [--port P] [--force] [--resume] [--retries N]\n"
     "    read a region of the Dm730's memory into a file"},
    {MsgUsageVerify,
     "verify RODZAJ PLIK [--port P ... | --all] [--max-differences N] [--retries N]\n"
     "    porównaj plik z pamięcią Dm730\n"
     "  dm730 verify FOLDER [--port P] [--max-differences N] [--retries N]\n"
     "    porównaj całą kopię zapasową z pamięcią Dm730",
     "verify KIND FILE [--port P ... | --all] [--max-differences N] [--retries N]\n"
     "    compare a file with the Dm730's memory\n"
     "  dm730 verify FOLDER [--port P] [--max-differences N] [--retries N]\n"
     "    compare a whole backup with the Dm730's memory"},
    {MsgUsageBackup,
     "backup FOLDER [--port P ... | --all] [--force] [--retries N]\n"
     "    odczytaj wszystkie trzy obszary do folderu, z opisem kopii i sumami SHA-256",
     "backup FOLDER [--port P ... | --all] [--force] [--retries N]\n"
     "    read all three regions into a folder, with a manifest and SHA-256 sums"},
    {MsgUsageRestore,
     "restore FOLDER [--port P ... | --all] [--resume] [--no-verify] [--max-differences N]\n"
     "        [--retries N]\n"
     "    zapisz kopię zapasową do Dm730 i odczytaj każdy obszar z powrotem do porównania",
     "restore FOLDER [--port P ... | --all] [--resume] [--no-verify] [--max-differences N]\n"
     "        [--retries N]\n"
     "    write a backup into the Dm730 and read each region back to compare it"},
    {MsgUsageLineTest,
     "linetest [--port P] [--loopback] [--seconds N] [--retries N]\n"
     "    sprawdź linię: z Dm730 dwa odczyty 100 bloków programu (nic nie zmienia),\n"
     "    z wtyczką pętli zwrotnej (--loopback) N sekund losowych bajtów; kończy się\n"
     "    werdyktem : linia w porządku, kabel lub adapter, sterownik",
     "linetest [--port P] [--loopback] [--seconds N] [--retries N]\n"
     "    test the line: with a Dm730 two reads of 100 firmware blocks (nothing is\n"
     "    changed), with a loopback plug (--loopback) N seconds of random bytes; ends\n"
     "    with a verdict: line sound, cable or adapter, port driver"},
    {MsgOptionNotForCommand, "opcja %s nie dotyczy polecenia %s",
     "option %s does not apply to command %s"},
    {MsgOptionTakesNoValue, "opcja %s nie przyjmuje wartości", "option %s takes no value"},
    {MsgEmptyPortName, "pusta nazwa portu", "empty port name"},
    {MsgOnePortOnly, "polecenie %s działa na jednym sterowniku : jedna opcja --port",
     "command %s works on one controller: one --port option"},
    {MsgEmptyTraceName, "pusta nazwa pliku --trace", "empty --trace file name"},
    {MsgNeedsNumber, "%s wymaga liczby, nie : %s", "%s needs a number, not: %s"},
    {MsgRetriesAtMost, "--retries : najwyżej %lu", "--retries: at most %lu"},
    {MsgFromBlockFromOne, "--from-block : bloki liczone są od 1",
     "--from-block: blocks are counted from 1"},
    {MsgSecondsRange, "--seconds : od 1 do %lu", "--seconds: from 1 to %lu"},
    {MsgUnknownLanguage, "--lang : pl albo en, nie : %s", "--lang: pl or en, not: %s"},
    {MsgUnknownKind, "nieznany rodzaj danych : %s (%s)", "unknown kind of data: %s (%s)"},
    {MsgUnknownOption, "nieznana opcja : %s", "unknown option: %s"},
    {MsgMissingValue, "brak wartości opcji %s", "option %s needs a value"},
    {MsgNoCommand, "brak polecenia", "no command given"},
    {MsgExtraArgument, "zbędny argument : %s", "unexpected argument: %s"},
    {MsgUnknownCommand, "nieznane polecenie : %s", "unknown command: %s"},
    {MsgTraceAndNoTrace, "opcje --trace i --no-trace wykluczają się",
     "--trace and --no-trace exclude each other"},
    {MsgAllAndPort, "opcje --all i --port wykluczają się", "--all and --port exclude each other"},
    {MsgTraceOneController, "--trace zapisuje wymiany jednego sterownika : z jedną opcją --port",
     "--trace keeps the exchanges of one controller: with one --port option"},
    {MsgSecondsOnlyLoopback, "--seconds dotyczy tylko linetest --loopback",
     "--seconds applies to linetest --loopback only"},
    {MsgTooFewArguments, "za mało argumentów polecenia %s", "too few arguments for command %s"},
    {MsgOrExtension, " lub .", " or ."},
    {MsgKindLine, "  %-12s %s, %s: %u %s (%u KiB)\n", "  %-12s %s, %s: %u %s (%u KiB)\n"},
    {MsgKindFirmware, "program sterownika", "the controller's firmware"},
    {MsgKindLibraries, "biblioteki skanerów", "scanner libraries"},
    {MsgKindScenes, "sceny użytkownika", "user scenes"},

    // main
    {MsgUsageHead, "Użycie :\n", "Usage:\n"},
    {MsgProgramProblem, "dm730 : %s", "dm730: %s"},
    {MsgSeeHelp, "Opis poleceń : dm730 --help", "Commands: dm730 --help"},
    {MsgLanguageVariableUnknown, "DM730_LANG=%s : nieznany język (pl albo en), pomijam",
     "DM730_LANG=%s: unknown language (pl or en), passed over"},
    {MsgTraceFileFailed, "Nie mogę otworzyć pliku śladu %s : %s",
     "Cannot open the trace file %s: %s"},
    {MsgTraceNotKept, "Nie zapisałem śladu wymian z linią : %s",
     "The exchanges with the line were not kept: %s"},
    {MsgTraceKept, "Ostatnie wymiany z linią zapisałem w %s",
     "The last exchanges with the line are in %s"},
    {MsgBlocksRetried, "Po błędach linii ponowiono %s.",
     "Tried again after faults of the line: %s."},

    // The help.
    {MsgHelpHead,
     "dm730 — przesyłanie danych między plikami a pamięcią sterownika Dm730 Selvo\n"
     "przez port szeregowy (38400 bodów, 8N1), to samo co w oknie programu Selvo.\n"
     "\n"
     "Użycie (opcje mogą stać przed poleceniem lub po nim):\n",
     "dm730 - moves data between files and the memory of a Dm730 Selvo controller\n"
     "over a serial port (38400 baud, 8N1), as the window of the Selvo program does.\n"
     "\n"
     "Usage (options may stand before the command or after it):\n"},
    {MsgHelpBackups,
     "  dm730 help [POLECENIE]\n"
     "    ten opis albo opis jednego polecenia\n"
     "Kopia zapasowa (backup) zapisuje pliki firmware.upg, libraries.lib, scenes.usr,\n"
     "opis kopii manifest.json i sumy SHA256SUMS; zastępuje te pięć plików razem\n"
     "albo wcale. restore i verify FOLDER najpierw sprawdzają opis kopii, rozmiar\n"
     "i sumę SHA-256 każdego pliku; przy niezgodności nic nie jest wysyłane.\n"
     "\n"
     "RODZAJ danych, rozszerzenie pliku i wielkość obszaru:\n",
     "  dm730 help [COMMAND]\n"
     "    this help, or the help of one command\n"
     "A backup writes the files firmware.upg, libraries.lib, scenes.usr, the\n"
     "manifest manifest.json and the sums SHA256SUMS; it replaces those five files\n"
     "together or not at all. restore and verify FOLDER first check the manifest,\n"
     "the size and the SHA-256 sum of each file; on any mismatch nothing is sent.\n"
     "\n"
     "KIND of data, the file's extension and the region's size:\n"},
    {MsgHelpBlocks,
     "Blok ma 256 bajtów; bloki liczone są w obrębie obszaru, od 1: \"blok N z M\"\n"
     "w postępie, w różnicach weryfikacji i w komunikatach.\n"
     "\n"
     "Opcje:\n",
     "A block is 256 bytes; blocks are counted within the region, from 1: \"block N\n"
     "of M\" in the progress, in a verify's differences and in the messages.\n"
     "\n"
     "Options:\n"},
    {MsgHelpTail,
     "\n"
     "Wyniki (ports, detect, różnice weryfikacji, podsumowanie) idą na stdout,\n"
     "postęp i komunikaty na stderr. Postęp: na terminalu jeden wiersz odświeżany\n"
     "w miejscu (blok, procent, szybkość, pozostały czas); do pliku lub potoku\n"
     "wiersz co dziesiątą część.\n"
     "Odczyt zbiera obszar w pliku PLIK.part i zastępuje nim PLIK dopiero, gdy\n"
     "nadszedł cały obszar; po błędzie lub Ctrl-C PLIK jest nietknięty, a PLIK.part\n"
     "zawiera odczytane bloki: --resume dokończy odczyt. Bez --force odczyt nie\n"
     "zastąpi ani PLIK, ani PLIK.part. Zapis odmawia pliku pustego i dłuższego niż\n"
     "obszar. Ctrl-C przerywa transmisję jak Esc w oknie; przerwany zapis mówi,\n"
     "które bloki mają już nowe dane.\n"
     "\n"
     "Kody wyjścia:\n"
     "  0    gotowe\n"
     "  1    błąd urządzenia lub łącza, albo ostrzeżenie (komunikat okna na stderr);\n"
     "       linetest: linia nie jest w porządku\n"
     "  2    złe użycie polecenia (także zmienione rozszerzenie pliku, albo --port\n"
     "       pasujący do kilku portów)\n"
     "  3    błąd pliku: brak, nie zwykły plik, nie można go otworzyć, odczytać\n"
     "       lub zapisać, plik pusty lub dłuższy niż obszar pamięci, albo PLIK\n"
     "       lub PLIK.part już istnieje, a nie podano --force (ani --resume);\n"
     "       kopia zapasowa niezgodna ze swoim opisem (nic nie wysłano)\n"
     "  4    weryfikacja (także po zapisie i przy odtworzeniu) znalazła różnice\n"
     "  5    nie znaleziono sterownika Dm730 (port otwarty, nikt nie odpowiedział)\n"
     "  6    podanego portu nie można użyć (nie ma go, brak uprawnień, zajęty,\n"
     "       to nie port szeregowy, --port nie pasuje do żadnego portu) albo folder\n"
     "       kopii jest w użyciu przez inny dm730\n"
     "  130  przerwano (Ctrl-C)\n"
     "Z kilkoma portami (--port ... --port, --all) kod jest najgorszy z kodów\n"
     "sterowników, w kolejności: 130, 1, 4, 6, 5, 3, 2, 0.\n"
     "\n"
     "Przykłady:\n"
     "  dm730 backup kopia-sterownika-1\n"
     "  dm730 restore kopia-sterownika-1 --port COM4\n"
     "  dm730 write scenes pokaz.usr --port /dev/ttyUSB0\n"
     "  dm730 read scenes pokaz.usr --resume\n"
     "  dm730 verify firmware selvo.upg --max-differences 5\n"
     "  dm730 backup kopia --port serial=A12345\n"
     "  dm730 linetest --port /dev/ttyUSB0\n",
     "\n"
     "Results (ports, detect, a verify's differences, the summary) go to stdout,\n"
     "progress and messages to stderr. Progress: on a terminal one line redrawn in\n"
     "place (block, percent, speed, time left); into a file or a pipe a line at\n"
     "each tenth.\n"
     "A read gathers the region in FILE.part and replaces FILE with it only once\n"
     "the whole region has come; after a failure or Ctrl-C FILE is untouched and\n"
     "FILE.part holds the blocks read: --resume finishes the read. Without --force\n"
     "a read replaces neither FILE nor FILE.part. A write refuses an empty file and\n"
     "one longer than the region. Ctrl-C stops a transfer as Esc does in the\n"
     "window; an interrupted write says which blocks hold the new data already.\n"
     "\n"
     "Exit codes:\n"
     "  0    done\n"
     "  1    the device or the line failed, or a warning (the window's message on\n"
     "       stderr); linetest: the line is not sound\n"
     "  2    wrong usage (also a file's extension changed, or a --port that fits\n"
     "       several ports)\n"
     "  3    a file problem: missing, not a regular file, cannot be opened, read\n"
     "       or written, empty or longer than the memory region, or FILE or\n"
     "       FILE.part exists and neither --force nor --resume was given; a backup\n"
     "       that does not match its manifest (nothing was sent)\n"
     "  4    a verify (also after a write and in a restore) found differences\n"
     "  5    no Dm730 controller found (the port opened, nobody answered)\n"
     "  6    the port given cannot be used (missing, no permission, held, not a\n"
     "       serial port, --port fits no port) or the backup folder is in use by\n"
     "       another dm730\n"
     "  130  stopped by Ctrl-C\n"
     "With several ports (--port ... --port, --all) the code is the worst of the\n"
     "controllers' codes, in this order: 130, 1, 4, 6, 5, 3, 2, 0.\n"
     "\n"
     "Examples:\n"
     "  dm730 backup controller-1-backup\n"
     "  dm730 restore controller-1-backup --port COM4\n"
     "  dm730 write scenes show.usr --port /dev/ttyUSB0\n"
     "  dm730 read scenes show.usr --resume\n"
     "  dm730 verify firmware selvo.upg --max-differences 5\n"
     "  dm730 backup backup --port serial=A12345\n"
     "  dm730 linetest --port /dev/ttyUSB0 --lang en\n"},

    // What a transfer does, as the progress and the summaries name it.
    {MsgActionWrite, "Zapisywanie do Dm730", "Writing to Dm730"},
    {MsgActionRead, "Odczyt z Dm730", "Reading from Dm730"},
    {MsgActionVerify, "Weryfikacja", "Verifying"},
    {MsgKindNameFirmware, "program", "firmware"},
    {MsgKindNameLibraries, "biblioteki", "libraries"},
    {MsgKindNameScenes, "dane użytkownika", "user scenes"},
    {MsgActionLine, "%s : %s", "%s: %s"},
    {MsgBlockLine, "Blok %d z %d", "Block %d of %d"},
    {MsgVersionLine, "Wersja firmware : %.*s | %.*s", "Firmware version: %.*s | %.*s"},
    {MsgProgressLine, "%s  %s  %lu%%  %s kB/s  pozostało %s", "%s  %s  %lu%%  %s kB/s  %s left"},
    {MsgDoneLine, "%s : gotowe, %s w %s s", "%s: done, %s in %s s"},

    // The core's failures, told in dm730's words.
    {MsgFailIdentification, "Błąd inicjacji : %s", "Identification failed: %s"},
    {MsgFailCommand, "Błąd potwierdzenia : %s", "Command not acknowledged: %s"},
    {MsgFailTransfer, "Błąd przesyłania : %s", "Transfer failed: %s"},
    {MsgFailSystem, "Kod błędu : %lu", "Error code: %lu"},
    {MsgReplyMissing, "brak danych : %u", "missing data: %u"},
    {MsgReplyRefused, "NAK", "NAK"},
    {MsgReplyAck, "błąd ACK : %2x", "ACK error: %2x"},
    {MsgReplyChecksum, "sumy kontrolnej : %x", "checksum: %x"},
    {MsgReplySurplus, "nadmiar danych", "surplus data"},
    {MsgReplyOtherVersions, "inne wersje", "other versions"},
    {MsgFailFileOpen, "Błąd otwarcia pliku !", "Cannot open the file!"},
    {MsgFailFileRead, "Błąd odczytu pliku !", "Cannot read the file!"},
    {MsgFailFileWrite, "Błąd zapisu pliku !", "Cannot write the file!"},
    {MsgFailFileTooLong, "Plik dłuższy niż obszar pamięci !",
     "The file is longer than the memory region!"},
    {MsgFailFileCut, "Błąd zapisu pliku !", "Cannot write the file!"},
    {MsgFailExtension, "Nie zmieniaj rozszerzenia !", "Do not change the extension!"},
    {MsgFailNoDevice,
     "Nie znalazłem Dm730 !\nPodłącz urządzenie, przygotuj do transmisji\ni spróbuj ponownie.",
     "No Dm730 found!\nConnect the device, make it ready to transfer\nand try again."},
    {MsgFailPortOpen, "Błąd otwarcia portu !", "Cannot open the port!"},
    {MsgFailNoWriteAccess, "%s :\nBrak dostępu do zapisu !", "%s:\nNo write access!"},
    {MsgPhaseIdentAsk, "zapytanie o wersję", "asking for the versions"},
    {MsgPhaseIdentReply, "odpowiedź z wersją", "the versions' reply"},
    {MsgPhaseCommand, "komenda", "command"},
    {MsgPhaseCommandSend, "wysłanie komendy", "sending the command"},
    {MsgPhaseCommandAck, "potwierdzenie komendy", "the command's acknowledgement"},
    {MsgPhaseBlockSend, "wysłanie bloku", "sending the block"},
    {MsgPhaseBlockAck, "potwierdzenie bloku", "the block's acknowledgement"},
    {MsgPhaseBlockReceive, "odbiór bloku", "receiving the block"},
    {MsgPhaseRegionEnd, "koniec obszaru", "the region's end"},
    {MsgPhaseRetryQuiet, "cisza przed ponowieniem", "the quiet before a retry"},
    {MsgPhaseRetryAsk, "ponowne zapytanie o wersję", "asking for the versions again"},
    {MsgPhaseRetryReply, "ponowna odpowiedź z wersją", "the versions' reply again"},
    {MsgFailureContext, "  (blok %lu z %u, faza %d : %s%s)", "  (block %lu of %u, phase %d: %s%s)"},
    {MsgRetriedOnce, " ; blok ponowiono 1 raz", "; the block was tried again once"},
    {MsgRetriedTimes, " ; blok ponowiono %ld razy", "; the block was tried again %ld times"},
    {MsgDifferenceBeyond,
     "Różnica : blok %lu z %u poz. %d (za końcem pliku, zapisano 0) : Dm730 %u",
     "Difference: block %lu of %u pos. %d (past the file's end, 0 written): Dm730 %u"},
    {MsgDifference, "Różnica : blok %lu z %u poz. %d (bajt %lu pliku) : plik %u, Dm730 %u",
     "Difference: block %lu of %u pos. %d (file byte %lu): file %u, Dm730 %u"},
    {MsgFileReason, "  (plik %s : %s)", "  (file %s: %s)"},
    {MsgFileNamed, "  (plik %s)", "  (file %s)"},

    // The results, for people and in events.
    {MsgResultDone, "gotowe", "done"},
    {MsgResultLineFailed, "błąd urządzenia lub łącza", "the device or the line failed"},
    {MsgResultUsage, "złe użycie polecenia", "wrong usage"},
    {MsgResultFile, "błąd pliku", "a file problem"},
    {MsgResultDifferences, "Dm730 ma co innego niż plik", "the controller holds something else"},
    {MsgResultNoController, "nie znaleziono sterownika Dm730", "no controller answered"},
    {MsgResultPortUnusable, "portu nie można użyć", "the port cannot be used"},
    {MsgResultInterrupted, "przerwano (Ctrl-C)", "stopped by Ctrl-C"},
    {MsgResultUnknown, "nieznany wynik", "unknown result"},

    // Commands.
    {MsgFinishWriteWith, "Dokończysz zapis poleceniem : %s", "Finish the write with: %s"},
    {MsgWriteAgain, "Zapisz plik ponownie : %s", "Write the file again: %s"},
    {MsgFromBlockBeyondFile, "--from-block %lu : plik %s wypełnia bloki 1-%lu obszaru.",
     "--from-block %lu: file %s fills blocks 1-%lu of the region."},
    {MsgWrittenReadBack, "zapisano %s, odczytano z powrotem %lu bez różnic",
     "wrote %s, read %lu back without differences"},
    {MsgWithoutDifferences, "%s bez różnic", "%s without differences"},
    {MsgVerifyBackupWhat, "Weryfikacja kopii %s", "Verifying backup %s"},
    {MsgReadUnknownOrigin,
     "Nie wiem, z którego sterownika pochodzą bloki w %s (brak lub uszkodzony plik %s) ; "
     "dokończenie mogłoby połączyć dwie pamięci.",
     "It is not known which controller the blocks in %s came from (%s is missing or damaged); "
     "finishing could join two memories."},
    {MsgForceInsteadOfResume, "Dodaj --force zamiast --resume, aby zacząć odczyt od nowa.",
     "Give --force instead of --resume to start the read anew."},
    {MsgCannotWriteFile, "Nie mogę zapisać pliku %s", "Cannot write file %s"},
    {MsgResumingRead, "Wznowienie : %s ma %u bloków, odczyt od bloku %u z %lu",
     "Resuming: %s holds %u blocks, reading from block %u of %lu"},
    {MsgFinishReadWith, "Dokończysz odczyt poleceniem : %s", "Finish the read with: %s"},
    {MsgCannotWriteManifest, "Nie mogę zapisać opisu kopii w folderze %s",
     "Cannot write the manifest in folder %s"},
    {MsgCannotHash, "Nie mogę obliczyć sumy SHA-256 pliku %s",
     "Cannot compute the SHA-256 sum of file %s"},
    {MsgBackupUnchanged, "Kopia zapasowa w %s pozostała bez zmian ; nowe pliki są w :",
     "The backup in %s is unchanged; the new files are in:"},
    {MsgCannotMakeFolder, "Nie mogę utworzyć folderu %s", "Cannot create folder %s"},
    {MsgBackupWhat, "Kopia zapasowa w %s", "Backup in %s"},
    {MsgRegionUntouched, "nietknięty", "untouched"},
    {MsgRegionPartlyWritten, "zapisany częściowo", "partly written"},
    {MsgRegionWrittenUnchecked, "zapisany, nie sprawdzony", "written, not checked"},
    {MsgRegionWritten, "zapisany", "written"},
    {MsgRegionRestored, "odtworzony", "restored"},
    {MsgRegionDiffers, "zapisany z różnicami", "written with differences"},
    {MsgRegionsHead, "Obszary :", "Regions:"},
    {MsgRestoreProgressNotKept,
     "Nie mogę zapisać postępu odtwarzania (ani w %s, ani w folderze stanu) : --resume nie "
     "będzie możliwe.",
     "Cannot keep the restore's progress (neither in %s nor in the state folder): --resume will "
     "not be possible."},
    {MsgRestoreRecordDamaged, "Plik %s jest uszkodzony : nie wiem, gdzie odtwarzanie stanęło.",
     "File %s is damaged: where the restore stopped is not known."},
    {MsgNothingToResume,
     "Brak zapisu przerwanego odtwarzania kopii %s na porcie %s : nie ma czego dokończyć.",
     "No record of an interrupted restore of %s on port %s: there is nothing to finish."},
    {MsgResumingGonePort, "Dokończenie odtwarzania przerwanego na porcie %s, którego już nie ma.",
     "Finishing the restore interrupted on port %s, which is gone."},
    {MsgRecordOfPort, "  Odtwarzanie przerwane na porcie %s : %s",
     "  A restore interrupted on port %s: %s"},
    {MsgRestoreWithoutResume, "Odtwórz kopię bez --resume.", "Restore without --resume."},
    {MsgRestoreWhat, "Odtworzenie kopii %s", "Restoring backup %s"},
    {MsgWrote, "zapisano %s", "wrote %s"},
    {MsgReadBackAlso, ", odczytano z powrotem %lu bez różnic",
     ", read %lu back without differences"},
    {MsgToFinish, "Aby dokończyć : %s", "To finish: %s"},
    {MsgNoSerialPorts, "Brak dostępnych portów szeregowych", "No serial ports available"},

    // Several controllers.
    {MsgManyWrite, "zapis", "write"},
    {MsgManyRead, "odczyt", "read"},
    {MsgManyVerify, "weryfikacja", "verify"},
    {MsgManyProgress, "[%s] %s, %s : blok %ld z %ld (%ld %%)",
     "[%s] %s, %s: block %ld of %ld (%ld %%)"},
    {MsgManyStarting, "[%s] szukam sterownika ...", "[%s] looking for the controller ..."},
    {MsgManyStoppedAt, " przy bloku %ld z %ld", " at block %ld of %ld"},
    {MsgTableHead, "%-*s  %-12s  %-13s  %-4s  %-8s  %s", "%-*s  %-12s  %-13s  %-4s  %-8s  %s"},
    {MsgTableSerial, "Nr seryjny", "Serial"},
    {MsgTableVersions, "Wersje", "Versions"},
    {MsgTableCode, "Kod", "Code"},
    {MsgTableTime, "Czas", "Time"},
    {MsgTableResult, "Wynik", "Result"},
    {MsgNoControllerAnywhere, "Nie znalazłem Dm730 na żadnym porcie.",
     "No Dm730 answered on any port."},
    {MsgChildNotStarted, "[%s] nie mogę uruchomić %s", "[%s] cannot start %s"},
    {MsgControllersCount, "Sterowniki : %lu, każdy w osobnym procesie.",
     "Controllers: %lu, each in a process of its own."},

    // The line test.
    {MsgDriverCountsNoFaults, "Sterownik portu nie liczy błędów ramki.",
     "The port's driver does not count framing faults."},
    {MsgDriverCounts,
     "Błędy policzone przez sterownik portu : ramki %lu, parzystości %lu, przepełnienia %lu, "
     "przerwy %lu",
     "Faults counted by the port's driver: framing %lu, parity %lu, overrun %lu, break %lu"},
    {MsgLineTestHead, "Test linii na porcie %s z Dm730 %s | %s : 2 odczyty bloków 1-%u programu",
     "Line test on port %s with Dm730 %s | %s: 2 reads of firmware blocks 1-%u"},
    {MsgLineTestCounts,
     "Ponowienia %lu, brak odpowiedzi %lu, odpowiedzi urwane %lu, NAK %lu, inne odpowiedzi %lu, "
     "złe sumy kontrolne %lu",
     "Retries %lu, no answer %lu, cut answers %lu, NAK %lu, other answers %lu, bad checksums %lu"},
    {MsgLineTestReplyTime, "Czas odpowiedzi Dm730 na polecenie : mediana %.1f ms, 99%% w %.1f ms",
     "Dm730's reply time to a command: median %.1f ms, 99%% within %.1f ms"},
    {MsgLineTestUnfinished, "Odczyt nie doszedł do końca.", "A read did not reach its end."},
    {MsgLineTestSame, "Oba odczyty zgodne (%u bloków).", "Both reads agree (%u blocks)."},
    {MsgLineTestDiffer, "Odczyty różnią się w %lu blokach, choć sumy kontrolne się zgadzały.",
     "The reads differ in %lu blocks, though their checksums matched."},
    {MsgVerdict, "Werdykt : %s", "Verdict: %s"},
    {MsgSendingFor, "Port : %s ; nadaję przez %lu s ...", "Port: %s; sending for %lu s ..."},
    {MsgPortStopped, "Port %s przestał działać w trakcie testu.",
     "Port %s stopped working during the test."},
    {MsgLoopbackHead, "Test linii na porcie %s z wtyczką pętli zwrotnej, %lu s :",
     "Line test on port %s with a loopback plug, %lu s:"},
    {MsgLoopbackCounts,
     "Wysłano %lu B, wróciło %lu B : zgubione %lu, zmienione %lu, nadmiarowe %lu",
     "Sent %lu B, %lu B came back: lost %lu, changed %lu, extra %lu"},
    {MsgVerdictSound, "linia w porządku", "line sound"},
    {MsgVerdictCable, "kabel lub adapter", "cable or adapter"},
    {MsgVerdictController, "sterownik", "port driver"},
    {MsgTestMemory, "(pamięć testu)", "(the test's memory)"},

    // Finding the controller and its port.
    {MsgPortMissing, "nie istnieje", "does not exist"},
    {MsgPortNoPermission, "brak uprawnień", "no permission"},
    {MsgPortInUse, "zajęty przez inny program", "held by another program"},
    {MsgPortNotSerial, "to nie jest port szeregowy", "not a serial port"},
    {MsgPortSystemError, "błąd systemu %lu (%s)", "system error %lu (%s)"},
    {MsgCannotUsePort, "Nie mogę użyć portu %s : %s !", "Cannot use port %s: %s!"},
    {MsgPortSkipped, "Port %s pominięty : %s", "Port %s passed over: %s"},
    {MsgNoPortFits, "Żaden port nie pasuje do %s. Porty :", "No port fits %s. Ports:"},
    {MsgNoPorts, "  (brak)", "  (none)"},
    {MsgSeveralPortsFit,
     "%s pasuje do %lu portów ; wybierz jeden :", "%s fits %lu ports; choose one:"},
    {MsgChoosePort, "  --port %s  (%s)", "  --port %s  (%s)"},
    {MsgUnknownPort, "Nieznany port : %s (np. %s)", "Unknown port: %s (e.g. %s)"},
    {MsgControllerWasOn, "Dm730 był na porcie %s ; polecenie nie przechodzi na inny port.",
     "The Dm730 was on port %s; the command does not move to another port."},
    {MsgControllerNotPlug,
     "Na porcie %s odpowiada Dm730, nie wtyczka pętli zwrotnej ; bez --loopback test sprawdzi "
     "linię razem z Dm730.",
     "A Dm730 answers on port %s, not a loopback plug; without --loopback the test checks the "
     "line with the Dm730."},
    {MsgNoPlug, "Żaden port nie oddaje wysłanych bajtów : nie widzę wtyczki pętli zwrotnej.",
     "No port gives back what is sent: no loopback plug found."},
    {MsgSeveralPlugs, "Wysłane bajty wracają na %lu portach ; wybierz jeden :",
     "What is sent comes back on %lu ports; choose one:"},
    {MsgPortOption, "  --port %s", "  --port %s"},
    {MsgDialoutHint,
     "Porty szeregowe należą do grupy dialout : sudo usermod -aG dialout $USER , potem zaloguj "
     "się ponownie.",
     "Serial ports belong to the group dialout: sudo usermod -aG dialout $USER , then log in "
     "again."},

    // What a failed search heard on each port.
    {MsgProbeSilent, "Port %s : cisza, nic nie odpowiedziało na zapytanie o wersję.",
     "Port %s: silence, nothing answered the request for the versions."},
    {MsgProbeEcho,
     "Port %s : wraca echo wysłanych bajtów (%s) : wtyczka pętli zwrotnej albo przetwornik z "
     "echem.",
     "Port %s: what was sent comes back (%s): a loopback plug or a converter that echoes."},
    {MsgProbeFraming, "Port %s : bajty z błędami ramki (zła prędkość lub zakłócenia)",
     "Port %s: bytes with framing faults (wrong speed or noise)"},
    {MsgProbeDriverCounts,
     " : sterownik portu policzył błędy ramki %lu, parzystości %lu, przepełnienia %lu, przerwy "
     "%lu",
     ": the port's driver counted framing faults %lu, parity %lu, overrun %lu, break %lu"},
    {MsgProbeHeard, " ; odebrane : %s", "; received: %s"},
    {MsgProbeForeign, "Port %s : odpowiedź nie jest identyfikacją Dm730 : %s.",
     "Port %s: the answer is no identification of a Dm730: %s."},
    {MsgHintSilent,
     "Cisza : sprawdź, czy Dm730 jest włączony i gotowy do transmisji, czy kabel siedzi w tym "
     "porcie i w Dm730, i czy to kabel null-modem.",
     "Silence: check that the Dm730 is on and ready to transfer, that the cable sits in this "
     "port and in the Dm730, and that it is a null-modem cable."},
    {MsgHintEcho,
     "Echo : zdejmij wtyczkę pętli zwrotnej albo wyłącz echo przetwornika; kabel musi prowadzić "
     "do Dm730, a nie łączyć TX z RX.",
     "Echo: take off the loopback plug or turn off the converter's echo; the cable must lead to "
     "the Dm730, not join TX to RX."},
    {MsgHintFraming,
     "Błędy ramki : Dm730 i przetwornik muszą pracować z prędkością 38400, 8 bitów, bez "
     "parzystości, 1 bit stopu; sprawdź też długość i ekran kabla.",
     "Framing faults: the Dm730 and the converter must run at 38400, 8 bits, no parity, 1 stop "
     "bit; check the cable's length and shield too."},
    {MsgHintForeign,
     "Obca odpowiedź : na tym porcie odpowiada inne urządzenie albo Dm730 nie jest gotowy do "
     "transmisji; wybierz inny port (dm730 ports).",
     "Foreign answer: another device answers on this port, or the Dm730 is not ready to "
     "transfer; choose another port (dm730 ports)."},

    // Differences and files.
    {MsgDifferencesShown, "Różnic : %lu (pokazano %lu)", "Differences: %lu (%lu shown)"},
    {MsgDifferencesCount, "Różnic : %lu", "Differences: %lu"},
    {MsgBeyondFileBytes,
     "Za końcem pliku Dm730 ma %lu %s innych niż 0 : nie należą do pliku (zapis wpisałby tam "
     "zera).",
     "Past the file's end the Dm730 holds %lu %s other than 0: they are not the file's (a write "
     "would put zeros there)."},
    {MsgKindNeedsFile, "  (%s : ten rodzaj danych wymaga pliku %s)",
     "  (%s: this kind of data needs a %s file)"},
    {MsgFileMissing, "Plik %s nie istnieje !", "File %s does not exist!"},
    {MsgNotRegularFile, "  (%s : to nie jest zwykły plik, lecz %s)",
     "  (%s: not a regular file but %s)"},
    {MsgAFolder, "folder", "a folder"},
    {MsgAPipe, "potok, gniazdo lub urządzenie", "a pipe, a socket or a device"},
    {MsgFileEmpty, "Plik %s jest pusty (0 bajtów) ; obszar mieści %llu bajtów.",
     "File %s is empty (0 bytes); the region holds %llu bytes."},
    {MsgFileTooLong, "Plik %s ma %lld bajtów, a obszar mieści %llu bajtów : nic nie zapisano.",
     "File %s has %lld bytes and the region holds %llu: nothing was written."},
    {MsgNoBlockNew, "Żaden blok nie ma jeszcze nowych danych.", "No block holds new data yet."},
    {MsgBlocksNew, "Bloki 1-%lu z %lu mają już nowe dane.",
     "Blocks 1-%lu of %lu hold the new data already."},
    {MsgBlockMaybe, "Blok %lu z %lu mógł zostać zapisany lub nie.",
     "Block %lu of %lu may or may not have been written."},
    {MsgBlocksOld, "Bloki %lu-%lu z %lu mają jeszcze stare dane.",
     "Blocks %lu-%lu of %lu still hold the old data."},
    {MsgInterrupted, "Transmisja przerwana (Ctrl-C).", "Transfer interrupted (Ctrl-C)."},
    {MsgLastBlockZeros, "blok %lu : same zera za końcem pliku",
     "block %lu: zeros only past the file's end"},
    {MsgLastBlockFilled, "blok %lu dopełniony zerami za końcem pliku",
     "block %lu filled up with zeros past the file's end"},
    {MsgOneBlockWritten, "Blok %lu z %lu zapisany", "Block %lu of %lu written"},
    {MsgBlocksWritten, "Bloki %lu–%lu z %lu zapisane", "Blocks %lu-%lu of %lu written"},
    {MsgOneBlockKept, "blok %lu bez zmian", "block %lu unchanged"},
    {MsgBlocksKept, "bloki %lu–%lu bez zmian", "blocks %lu-%lu unchanged"},
    {MsgWrittenBlocks, "%s (%s), %s.", "%s (%s), %s."},
    {MsgFileProblem, "%s : %s", "%s: %s"},
    {MsgPartNotRegular, "to nie jest zwykły plik, nie mogę go użyć ani usunąć",
     "not a regular file, it can be neither used nor removed"},
    {MsgPartIsLink,
     "Plik %s jest dowiązaniem ; nie zapiszę nic przez nie.\n"
     "Dodaj --force, aby usunąć dowiązanie i zacząć odczyt od nowa.",
     "File %s is a link; nothing is written through it.\n"
     "Give --force to remove the link and start the read anew."},
    {MsgCannotOpen, "nie mogę go otworzyć", "cannot open it"},
    {MsgPartExists, "Plik %s już istnieje : %lld pełnych bloków z wcześniejszego odczytu.",
     "File %s exists already: %lld whole blocks of an earlier read."},
    {MsgResumeOrForce,
     "Dodaj --resume, aby dokończyć tamten odczyt, albo --force, aby zacząć od nowa.",
     "Give --resume to finish that read, or --force to start anew."},
    {MsgForceToRestart, "Dodaj --force, aby zacząć odczyt od nowa.",
     "Give --force to start the read anew."},
    {MsgPartTooLong, "Plik %s ma %lld bajtów, a obszar %lu : to nie jest odczyt tego obszaru.",
     "File %s has %lld bytes and the region %lu: it is no read of this region."},
    {MsgTargetNotRegular, "to nie jest zwykły plik, odczyt go nie zastąpi",
     "not a regular file, a read does not replace it"},
    {MsgTargetExists, "Plik %s już istnieje ! Dodaj --force, aby go zastąpić.",
     "File %s exists already! Give --force to replace it."},
    {MsgCannotRemoveOld, "nie mogę usunąć starego pliku", "cannot remove the old file"},
    {MsgCannotCreate, "nie mogę utworzyć pliku", "cannot create the file"},
    {MsgTargetNotMade, "nie powstał", "was not made"},
    {MsgTargetUnchanged, "pozostał bez zmian", "is unchanged"},
    {MsgBlocksReadAreIn, "Plik %s %s ; odczytane bloki (%lld) są w pliku %s",
     "File %s %s; the blocks read (%lld) are in file %s"},
    {MsgPartReplaced,
     "Plik %s nie jest już plikiem, w który zapisywał odczyt (ktoś go podmienił lub usunął) : "
     "plik %s pozostał bez zmian.",
     "File %s is no longer the file the read wrote into (someone replaced or removed it): file "
     "%s is unchanged."},
    {MsgCannotReplaceWithPart, "Nie mogę zastąpić pliku %s ; odczytany obszar jest w pliku %s",
     "Cannot replace file %s; the region read is in file %s"},
    {MsgOtherController,
     "Sterownik na porcie %s ma wersje %s | %s, a przerwaną pracę wykonano na sterowniku o "
     "wersjach %s | %s (port %s).",
     "The controller on port %s has versions %s | %s, and the interrupted work was done on one "
     "with versions %s | %s (port %s)."},
    {MsgNothingWritten, "Nic nie zapisano ; dokończ na tamtym sterowniku albo zacznij od nowa.",
     "Nothing was written; finish on that controller or start anew."},
    {MsgBlockDoesNotMatch,
     "Blok %u z %u w sterowniku na porcie %s nie zgadza się z plikiem %s : to inny sterownik "
     "albo jego pamięć zmieniła się od przerwania.",
     "Block %u of %u in the controller on port %s does not match file %s: another controller, "
     "or its memory changed since the interruption."},

    // Backups.
    {MsgBackupMismatch, "Kopia w %s nie zgadza się ze swoim opisem : nic nie wysłano.",
     "The backup in %s does not match its manifest: nothing was sent."},
    {MsgOtherKindExtension, "Plik %s ma rozszerzenie innego rodzaju danych niż %s",
     "File %s has the extension of another kind of data than %s"},
    {MsgRegionDifferences, "Obszar %s : różnic %lu", "Region %s: %lu differences"},
    {MsgBackupOtherVersions,
     "Uwaga : sterownik ma wersje %s | %s, a kopię wykonano ze sterownika o wersjach %s | %s.",
     "Note: the controller has versions %s | %s, and the backup was made from one with versions "
     "%s | %s."},
    {MsgCannotReplace, "Nie mogę zastąpić pliku %s", "Cannot replace file %s"},
    {MsgCannotUndoReplace, "Nie mogę cofnąć zastąpienia pliku %s (nowa treść)",
     "Cannot undo the replacement of file %s (new contents)"},
    {MsgCannotRestoreOld, "Nie mogę przywrócić pliku %s ; jego poprzednia treść jest w pliku %s",
     "Cannot put file %s back; its earlier contents are in file %s"},
    {MsgEarlierBackupWhole, "  Poprzednia kopia (%s, ...) jest cała.",
     "  The earlier backup (%s, ...) is whole."},
    {MsgEarlierBackupNotWhole, "  Poprzednia kopia (%s, ...) nie jest cała.",
     "  The earlier backup (%s, ...) is not whole."},
    {MsgNewBackupWhole, "  Nowa kopia (%s, ...) jest cała.",
     "  The new backup (%s, ...) is whole."},
    {MsgNewBackupNotWhole, "  Nowa kopia (%s, ...) nie jest cała.",
     "  The new backup (%s, ...) is not whole."},
    {MsgLeftOverFiles, "W folderze %s pozostały pliki przerwanej wymiany kopii :",
     "Folder %s holds the files of an interrupted replacement of the backup:"},
    {MsgForceMovesAside,
     "Dodaj --force, aby przenieść je bez zmian do osobnego folderu w %s i wykonać kopię od "
     "nowa ; nic nie zostanie usunięte.",
     "Give --force to move them unchanged into a folder of their own in %s and make the backup "
     "anew; nothing will be removed."},
    {MsgCannotMove, "Nie mogę przenieść pliku %s do folderu %s",
     "Cannot move file %s into folder %s"},
    {MsgMovedAside, "Pozostałości wcześniejszej kopii przeniesiono bez zmian do folderu %s",
     "What was left of the earlier backup was moved unchanged into folder %s"},
    {MsgBackupFileReplaced,
     "Plik %s nie jest już plikiem, który zapisała kopia (ktoś go podmienił lub usunął)",
     "File %s is no longer the file the backup wrote (someone replaced or removed it)"},
    {MsgCannotRemoveOldContents, "Nie mogę usunąć pliku %s (poprzednia treść)",
     "Cannot remove file %s (earlier contents)"},
    {MsgFolderInUse,
     "Folder %s jest w użyciu przez inny dm730 (kopia, odtwarzanie lub weryfikacja) : nic nie "
     "zrobiono.",
     "Folder %s is in use by another dm730 (a backup, restore or verify): nothing was done."},
    {MsgManifestFileEmpty, "Plik %s jest pusty", "File %s is empty"},
    {MsgManifestFileTooBig, "Plik %s (%llu B) nie mieści się w obszarze %s (%llu B)",
     "File %s (%llu B) does not fit region %s (%llu B)"},
    {MsgManifestKeyMissing, "brak klucza \"%s\"", "key \"%s\" is missing"},
    {MsgManifestNotObject, "klucz \"%s\" powinien być obiektem", "key \"%s\" should be an object"},
    {MsgManifestNotText, "klucz \"%s\" powinien być tekstem", "key \"%s\" should be a text"},
    {MsgManifestNotCount, "klucz \"%s\" powinien być liczbą całkowitą nieujemną",
     "key \"%s\" should be a whole number, not negative"},
    {MsgManifestWrongKind, "klucz \"%s.kind\" powinien mieć wartość \"%s\"",
     "key \"%s.kind\" should have the value \"%s\""},
    {MsgManifestBadFileName,
     "klucz \"%s.file\" powinien być samą nazwą pliku w folderze kopii (bez \"/\", \"\\\", "
     "\":\", \"..\" i znaków sterujących)",
     "key \"%s.file\" should be a bare file name in the backup's folder (no \"/\", \"\\\", "
     "\":\", \"..\" or control characters)"},
    {MsgManifestWrongFirstBlock, "klucz \"%s.firstBlock\" powinien mieć wartość %u",
     "key \"%s.firstBlock\" should have the value %u"},
    {MsgManifestBadDigest, "klucz \"%s.sha256\" powinien mieć 64 cyfry szesnastkowe (małe litery)",
     "key \"%s.sha256\" should have 64 hexadecimal digits (small letters)"},
    {MsgManifestBlocksDiffer,
     "klucz \"%s.blocks\" (%llu) nie zgadza się z \"%s.bytes\": powinno być %lu",
     "key \"%s.blocks\" (%llu) does not match \"%s.bytes\": it should be %lu"},
    {MsgManifestNotJsonObject, "to nie jest obiekt JSON", "not a JSON object"},
    {MsgManifestUnknownRegion, "nieznany obszar %s w \"regions\" (są: firmware, libraries, scenes)",
     "unknown region %s in \"regions\" (there are: firmware, libraries, scenes)"},
    {MsgManifestSameFile, "obszary %s i %s podają ten sam plik %s",
     "regions %s and %s name the same file %s"},
    {MsgManifestNotJson, "to nie jest poprawny tekst JSON (bajt %s)",
     "not valid JSON text (byte %s)"},
    {MsgManifestMissing, "%s: brak pliku, to nie jest kopia zapasowa dm730",
     "%s: no such file, this is not a dm730 backup"},
    {MsgNotRegular, "%s: to nie jest zwykły plik", "%s: not a regular file"},
    {MsgReadFailedBecause, "%s: błąd odczytu pliku (%s)", "%s: cannot read the file (%s)"},
    {MsgManifestTooLong, "%s: za długi na opis kopii (ponad %lu B)",
     "%s: too long for a manifest (over %lu B)"},
    {MsgPrefixed, "%s: %s", "%s: %s"},
    {MsgBackupFileMissing, "Brak pliku %s", "File %s is missing"},
    {MsgBackupNotRegular, "%s nie jest zwykłym plikiem", "%s is not a regular file"},
    {MsgBackupUnreadable, "Nie mogę odczytać pliku %s", "Cannot read file %s"},
    {MsgBecause, " (%s)", " (%s)"},
    {MsgBackupSizeDiffers, "Plik %s ma %s B, a opis kopii podaje %llu B",
     "File %s has %s B and the manifest says %llu B"},
    {MsgMoreThan, "ponad %llu", "over %llu"},
    {MsgBackupDigestDiffers,
     "Plik %s ma inną sumę SHA-256 niż w opisie kopii: został zmieniony lub uszkodzony",
     "File %s has another SHA-256 sum than the manifest says: it was changed or damaged"},

    // The ports and the trace.
    {MsgTransportNative, "wbudowany", "built-in"},
    {MsgTransportUsb, "USB", "USB"},
    {MsgTransportBluetooth, "Bluetooth", "Bluetooth"},
    {MsgTransportPty, "pty", "pty"},
    {MsgTransportUnknown, "rodzaj nieznany", "kind unknown"},
    {MsgHoldFree, "wolny", "free"},
    {MsgHoldHeld, "zajęty przez inny program", "held by another program"},
    {MsgHoldRefused, "brak uprawnień", "no permission"},
    {MsgHoldUnknown, "zajętość nieznana", "hold unknown"},
    {MsgSerialNumber, " nr seryjny %s", " serial %s"},
    {MsgNoSerialNumber, "brak", "none"},
    {MsgLocation, " miejsce %s", " location %s"},
    {MsgTraceBlockOf, "blok %lu z %u", "block %lu of %u"},
    {MsgTraceMemoryBlock, "blok pamięci %lu", "memory block %lu"},
    {MsgTraceSum, " | suma ", " | sum "},
    {MsgTraceByte, "bajt 0x%02x", "byte 0x%02x"},
    {MsgTraceAsk, "zapytanie o wersję (ESC)", "request for the versions (ESC)"},
    {MsgTraceReadCommand, "polecenie odczytu, %s", "read command, %s"},
    {MsgTraceWriteCommand, "polecenie zapisu, %s", "write command, %s"},
    {MsgTraceDataFrame, "ramka danych, %s", "data frame, %s"},
    {MsgTraceOf, " (%lu z %lu B)", " (%lu of %lu B)"},
    {MsgTraceNothingMore, "nic więcej po ramce", "nothing more after the frame"},
    {MsgTraceSurplusByte, "nadmiarowy bajt po ramce : %s", "surplus byte after the frame: %s"},
    {MsgTraceSilence, "cisza : nic z %lu B", "silence: nothing of %lu B"},
    {MsgTraceIdentReply, "odpowiedź identyfikacji", "identification reply"},
    {MsgTraceEscReply, "odpowiedź na ESC%s", "reply to ESC%s"},
    {MsgTraceFrameReply, "odpowiedź na ramkę : %s", "reply to the frame: %s"},
    {MsgTraceCommandReply, "odpowiedź na polecenie : %s", "reply to the command: %s"},
    {MsgTraceReceived, "odebrane%s", "received%s"},
    {MsgTraceCount,
     "Wymiany z linią : %lu, ostatnie %lu :", "Exchanges with the line: %lu, the last %lu:"},
    {MsgTracePortClosed, "port zamknięty, nie odczytano", "port closed, not read"},
    {MsgTraceSettings, "%lu %u%c%u, sterowanie przepływem : %s%s",
     "%lu %u%c%u, flow control: %s%s"},
    {MsgTraceNoFlow, "brak", "none"},
    {MsgTraceSystem, "System : %s", "System: %s"},
    {MsgTraceCommandLine, "Polecenie :", "Command:"},
    {MsgTraceTime, "Czas (UTC) : %s", "Time (UTC): %s"},
    {MsgTraceLookedFor, "Port : szukany na %lu portach", "Port: looked for on %lu ports"},
    {MsgTraceLineSettings, "Ustawienia linii : %s", "Line settings: %s"},
    {MsgTraceVersions, "Wersje Dm730 : %s | %s", "Dm730 versions: %s | %s"},
    {MsgTraceProbe, "Sondowanie : %s", "Probe: %s"},
    {MsgTraceNoStateFolder, "brak folderu stanu użytkownika", "no state folder for the user"},
};

const char* Say(MessageId id) {
    if (id < 0 || id >= MessageCount) return "";
    const MessageText& row = MessageTable[id];
    return ProgramLanguage() == LanguageEnglish ? row.en : row.pl;
}

std::string FormatValues(const char* format, va_list values) {
    va_list again;
    va_copy(again, values);
    int length = std::vsnprintf(nullptr, 0, format, values);
    std::string text(length > 0 ? size_t(length) : 0, '\0');
    if (length > 0) std::vsnprintf(&text[0], text.size() + 1, format, again);
    va_end(again);
    return text;
}

std::string SayFormatted(MessageId id, ...) {
    va_list values;
    va_start(values, id);
    std::string text = FormatValues(Say(id), values);
    va_end(values);
    return text;
}

const char* SayCount(unsigned long n, MessageId one, MessageId few, MessageId many) {
    if (ProgramLanguage() == LanguageEnglish) return Say(n == 1 ? one : many);
    return PolishPlural(n, Say(one), Say(few), Say(many));
}
