#include "transfer/transfer.h"

TransferJobRecord TransferJob;
