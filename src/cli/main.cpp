// dm730: the transfers of the window from a command line, on the same core.

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/console_output.h"
#include "cli/exit_codes.h"
#include "cli/interrupt.h"
#include "cli/operator_console.h"
#include "serial/port_table.h"
#include "serial/serial_channel.h"

namespace {

// The usage lines come from the command table (UsageOf), the rest from here.
const char HelpHead[] =
    "dm730 — przesyłanie danych między plikami a pamięcią sterownika Dm730 Selvo\n"
    "przez port szeregowy (38400 bodów, 8N1), to samo co w oknie programu Selvo.\n"
    "\n"
    "Użycie (opcje mogą stać przed poleceniem lub po nim):\n";

const char HelpBody[] =
    "  dm730 help [POLECENIE]\n"
    "    ten opis albo opis jednego polecenia\n"
    "Kopia zapasowa (backup) zapisuje pliki firmware.upg, libraries.lib, scenes.usr,\n"
    "opis kopii manifest.json i sumy SHA256SUMS; zastępuje te pięć plików razem\n"
    "albo wcale. restore i verify FOLDER najpierw sprawdzają opis kopii, rozmiar\n"
    "i sumę SHA-256 każdego pliku; przy niezgodności nic nie jest wysyłane.\n"
    "\n"
    "RODZAJ danych, rozszerzenie pliku i wielkość obszaru:\n"
    "  firmware     program sterownika, .upg: 512 bloków (128 KiB)\n"
    "  libraries    biblioteki skanerów, .lib: 384 bloki (96 KiB)\n"
    "  scenes       sceny użytkownika, .usr lub .bin: 3200 bloków (800 KiB)\n"
    "Blok ma 256 bajtów; bloki liczone są w obrębie obszaru, od 1: \"blok N z M\"\n"
    "w postępie, w różnicach weryfikacji i w komunikatach.\n"
    "\n"
    "Opcje:\n"
    "  --port P               port sterownika: COM3 w Windows, ścieżka urządzenia\n"
    "                         w Linuksie (/dev/ttyUSB0); bez tej opcji sterownik\n"
    "                         jest szukany na każdym porcie, jak robi to okno\n"
    "  --force                read, backup: zastąp istniejące pliki (także PLIK.part)\n"
    "  --resume               read: dokończ odczyt zebrany w PLIK.part\n"
    "  --verify               write: odczytaj zapisane bloki i porównaj z plikiem\n"
    "  --no-verify            restore: bez odczytu kontrolnego (o połowę krócej)\n"
    "  --max-differences N    verify: wypisz najwyżej N różnic (domyślnie 20),\n"
    "                         pozostałe tylko policz\n"
    "  -q, --quiet            nie pokazuj postępu ani podsumowania, tylko błędy\n"
    "                         (i różnice weryfikacji)\n"
    "  -h, --help             ten opis\n"
    "  -V, --version          wersja programu\n"
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
    "  1    błąd urządzenia lub łącza, albo ostrzeżenie (komunikat okna na stderr)\n"
    "  2    złe użycie polecenia (także zmienione rozszerzenie pliku)\n"
    "  3    błąd pliku: brak, nie zwykły plik, nie można go otworzyć, odczytać\n"
    "       lub zapisać, plik pusty lub dłuższy niż obszar pamięci, albo PLIK\n"
    "       lub PLIK.part już istnieje, a nie podano --force (ani --resume);\n"
    "       kopia zapasowa niezgodna ze swoim opisem (nic nie wysłano)\n"
    "  4    weryfikacja (także po zapisie i przy odtworzeniu) znalazła różnice\n"
    "  5    nie znaleziono sterownika Dm730 (port otwarty, nikt nie odpowiedział)\n"
    "  6    podanego portu nie można użyć (nie ma go, brak uprawnień, zajęty,\n"
    "       to nie port szeregowy)\n"
    "  130  przerwano (Ctrl-C)\n"
    "\n"
    "Przykłady:\n"
    "  dm730 backup kopia-sterownika-1\n"
    "  dm730 restore kopia-sterownika-1 --port COM4\n"
    "  dm730 write scenes pokaz.usr --port /dev/ttyUSB0\n"
    "  dm730 read scenes pokaz.usr --resume\n"
    "  dm730 verify firmware selvo.upg --max-differences 5\n";

void PrintHelp(CommandId topic) {
    if (topic != CommandHelp) {
        PrintText(ConsoleOut, UsageOf(topic).c_str());
        return;
    }
    PrintText(ConsoleOut, HelpHead);
    PrintText(ConsoleOut, UsageOf(CommandHelp).c_str());
    PrintText(ConsoleOut, HelpBody);
}

ExitCode RunCommand(const CommandLine& line) {
    switch (line.command) {
    case CommandPorts: return RunPortsCommand(line);
    case CommandDetect: return RunDetectCommand(line);
    case CommandWrite: return RunWriteCommand(line);
    case CommandRead: return RunReadCommand(line);
    case CommandVerify: return RunVerifyCommand(line);
    case CommandBackup: return RunBackupCommand(line);
    case CommandRestore: return RunRestoreCommand(line);
    case CommandVerifyBackup: return RunVerifyBackupCommand(line);
    case CommandVersion: PrintLine(ConsoleOut, "dm730 %s", SELVO_VERSION); return ExitDone;
    default: PrintHelp(line.topic); return ExitDone;
    }
}

}  // namespace

int main(int argc, char** argv) {
    CommandLine line;
    std::string problem;
    if (ParseCommandLine(argc, argv, &line, &problem) != ParsedCommand) {
        PrintLine(ConsoleError, "dm730 : %s", problem.c_str());
        if (line.command != CommandHelp)
            PrintText(ConsoleError, ("Użycie :\n" + UsageOf(line.command)).c_str());
        PrintLine(ConsoleError, "Opis poleceń : dm730 --help");
        return ExitUsage;
    }
    CatchInterrupt();
    ResetConsoleReport(line.maxDifferences);
    ExitCode code = RunCommand(line);
    CloseChannel();
    CloseChannelEvents();
    FreePortTable();
    return code;
}
