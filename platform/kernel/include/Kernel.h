// The kernel as the driver sees it: the one header every driver source
// includes. On Windows a header of the same name pulls in the kit's headers.
#pragma once

#include "kernel/Debug.h"
#include "kernel/Dpc.h"
#include "kernel/Irp.h"
#include "kernel/Interrupt.h"
#include "kernel/Irql.h"
#include "kernel/Mdl.h"
#include "kernel/Objects.h"
#include "kernel/Pool.h"
#include "kernel/Registers.h"
#include "kernel/Registry.h"
#include "kernel/Seh.h"
#include "kernel/Sync.h"
#include "kernel/Threads.h"
#include "kernel/Time.h"
#include "kernel/Types.h"
#include "kernel/portcls/PortCls.h"
