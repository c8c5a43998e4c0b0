/*
 * Tarnel's Windows kernel glue: load, the one dispatch routine, unload. Everything a request
 * does with its buffer is the portable core's (driver/dispatch.c); this file only hands the
 * system buffer over and completes the request, so that what runs in the kernel is the same
 * code the host tests exercise against the simulated port.
 *
 * Built twice from this one file: Tarnel.sys executes the port instructions itself, and the
 * test build (TARNEL_PORTS_THROUGH_HAL) goes through the HAL's port functions instead, because
 * a raw port instruction kills wine's driver host while the HAL functions are harmless stubs
 * there. Either way the driver imports nothing but the kernel (and, in the test build, the HAL).
 * Both are built for 32-bit x86 and for x64; only the x86 kernel has an I/O permission map.
 * The x64 HAL exports no port functions (x64 drivers execute the instructions inline), so the
 * x64 test build (TARNEL_NO_PORTS) reads every port as 0 and drops every write, which is what
 * wine's HAL stubs give the x86 test build: under wine there is no port either way, and what
 * the test builds exist for is the glue around the core (load, device, access, dispatch,
 * unload) in a real driver host.
 */
/* The file-system kit's header: the driver kit's alone lacks the security descriptor and ACL
 * calls that restrict who may open the device. */
#include <ntifs.h>

#include "driver/dispatch.h"
#include "driver/driver_params.h"
#include "driver/port_guard.h"
#include "driver/port_io.h"
#include "protocol/tarnel_protocol.h"

/* The I/O permission map exists only in the 32-bit x86 kernel: the x64 kernel has no call to
 * install one. On either architecture the program's port accesses all go through the
 * device's requests, and no user process gains a port. */
#if defined(__i386__)
#define TARNEL_HAS_IO_MAP 1
/* The kernel exports this only on 32-bit x86, and the DDK headers do not declare it. A map
 * is one bit per port for all 65536 ports; a 0 bit lets user mode use the port. */
NTKERNELAPI BOOLEAN NTAPI Ke386SetIoAccessMap(ULONG MapNumber, PVOID Map);
#elif defined(__x86_64__)
#define TARNEL_HAS_IO_MAP 0
#else
#error "Tarnel is built for x86 and x64 only"
#endif

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registry_path);

#define TARNEL_IO_MAP_NUMBER 1u

static const WCHAR kDeviceName[] = L"\\Device\\Tarnel";
static const WCHAR kLinkName[] = L"\\DosDevices\\Tarnel";

/* The driver's whole state between requests. Zero at load: DriverParams then names family
 * AVR with cable kind 0, for which the core moves no line until SET_PARAMS arrives, and no
 * handle owns the device. */
#if TARNEL_HAS_IO_MAP
static PVOID g_io_map;
#endif
static DriverParams g_params;
static uintptr_t g_owner;

/* ---- Port access ------------------------------------------------------------------------ */

#if defined(TARNEL_NO_PORTS)
static uint8_t PortIn(void* context, uint16_t port) {
    (void)context;
    (void)port;
    return 0;
}

static void PortOut(void* context, uint16_t port, uint8_t value) {
    (void)context;
    (void)port;
    (void)value;
}
#elif defined(TARNEL_PORTS_THROUGH_HAL)
static uint8_t PortIn(void* context, uint16_t port) {
    (void)context;
    return READ_PORT_UCHAR((PUCHAR)(ULONG_PTR)port);
}

static void PortOut(void* context, uint16_t port, uint8_t value) {
    (void)context;
    WRITE_PORT_UCHAR((PUCHAR)(ULONG_PTR)port, value);
}
#else
/* Kernel mode may execute the port instructions directly; they compile inline. */
static uint8_t PortIn(void* context, uint16_t port) {
    (void)context;
    return __inbyte(port);
}

static void PortOut(void* context, uint16_t port, uint8_t value) {
    (void)context;
    __outbyte(port, value);
}
#endif

static const TarnelPortIo kPortIo = {PortIn, PortOut, 0};

/* ---- Requests --------------------------------------------------------------------------- */

/* Create takes the device for its caller, or is refused while another handle owns it; close
 * gives it back (the I/O manager sends a close only for a create that succeeded). A control
 * request is the core's to serve. Every request is finished here in the caller's thread: the
 * driver queues nothing. */
static NTSTATUS NTAPI TarnelDispatch(PDEVICE_OBJECT device, PIRP irp) {
    (void)device;
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    irp->IoStatus.Status = STATUS_SUCCESS;
    irp->IoStatus.Information = 0;
    const uintptr_t handle = (uintptr_t)stack->FileObject;
    if (stack->MajorFunction == IRP_MJ_CREATE) {
        irp->IoStatus.Status = (NTSTATUS)TarnelOpenOwner(&g_owner, handle, &g_params);
    } else if (stack->MajorFunction == IRP_MJ_CLOSE) {
        TarnelCloseOwner(&g_owner, handle);
    } else if (!TarnelIsOwner(&g_owner, handle)) {
        irp->IoStatus.Status = (NTSTATUS)TARNEL_STATUS_SHARING_VIOLATION;
    } else if (stack->MajorFunction == IRP_MJ_DEVICE_CONTROL) {
        /* Buffered method: one system buffer of max(input, output) bytes, the caller's input
         * copied in and the returned byte count copied back out by the I/O manager. */
        uint32_t returned = 0;
        const uint32_t status = TarnelDispatchControl(
            &g_params, &kPortIo, stack->Parameters.DeviceIoControl.IoControlCode,
            (uint8_t*)irp->AssociatedIrp.SystemBuffer,
            stack->Parameters.DeviceIoControl.InputBufferLength,
            stack->Parameters.DeviceIoControl.OutputBufferLength, &returned);
        irp->IoStatus.Status = (NTSTATUS)status;
        irp->IoStatus.Information = returned;
    }
    /* The request belongs to the I/O manager once completed: take its status first. */
    const NTSTATUS status = irp->IoStatus.Status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

/* ---- Device security -------------------------------------------------------------------- */

/* The two accounts the device admits, as SIDs laid out in place (revision 1, sub-authority
 * count, authority 5 "NT", sub-authorities): S-1-5-18, the system, and S-1-5-32-544, the
 * administrators group. Spelled out so that the driver imports nothing to name them. */
static const ULONG kSystemSid[] = {0x00000101u, 0x05000000u, 18u};
static const ULONG kAdministratorsSid[] = {0x00000201u, 0x05000000u, 32u, 544u};

/* Whoever may open the device may drive the parallel ports, so only the system and the
 * administrators get in (SDDL "D:P(A;;GA;;;SY)(A;;GA;;;BA)"): a protected DACL with full
 * access for those two and nothing for anyone else. Full access is written as the file
 * rights that generic-all stands for on a device, so no mapping step can leave it unmatched.
 * The program runs as administrator anyway, since it installs the driver's service. */
static NTSTATUS RestrictToAdministrators(PDEVICE_OBJECT device) {
    /* An ACL header and two access-allowed entries, each a header, a mask and its SID. */
    ULONG acl_storage[16];
    PACL acl = (PACL)acl_storage;
    NTSTATUS status = RtlCreateAcl(acl, sizeof acl_storage, ACL_REVISION);
    if (NT_SUCCESS(status)) {
        status = RtlAddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, (PSID)kSystemSid);
    }
    if (NT_SUCCESS(status)) {
        status =
            RtlAddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, (PSID)kAdministratorsSid);
    }
    SECURITY_DESCRIPTOR descriptor;
    if (NT_SUCCESS(status)) {
        status = RtlCreateSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    }
    if (NT_SUCCESS(status)) status = RtlSetDaclSecurityDescriptor(&descriptor, TRUE, acl, FALSE);
    if (!NT_SUCCESS(status)) return status;
    /* Protected: no entry inherited from the object directory widens it. */
    descriptor.Control |= SE_DACL_PROTECTED;
    /* Set through a kernel handle to the device, which every NT kernel offers; the object
     * manager keeps its own copy of the descriptor. */
    HANDLE handle = NULL;
    status = ObOpenObjectByPointer(device, OBJ_KERNEL_HANDLE, NULL, WRITE_DAC, NULL, KernelMode,
                                   &handle);
    if (!NT_SUCCESS(status)) return status;
    status = ZwSetSecurityObject(handle, DACL_SECURITY_INFORMATION, &descriptor);
    ZwClose(handle);
    return status;
}

/* ---- Load and unload ------------------------------------------------------------------- */

#if TARNEL_HAS_IO_MAP
/* The program reaches every port through the device's requests, so the driver grants no
 * process a port of its own. What it does keep is a closed map (every bit set: every port
 * faults in user mode), taken at load so that the unload cannot fail for want of memory. */
static NTSTATUS AllocateClosedIoMap(void) {
    g_io_map = MmAllocateNonCachedMemory(TARNEL_IO_MAP_BYTES);
    if (g_io_map == NULL) return STATUS_INSUFFICIENT_RESOURCES;
    RtlFillMemory(g_io_map, TARNEL_IO_MAP_BYTES, 0xFF);
    return STATUS_SUCCESS;
}

/* The kernel copies an installed map into every processor's task state and keeps it there
 * after the driver that installed it is gone. A map installed by an earlier build of this
 * driver (which opened ports to the process that loaded it) would so outlive every unload:
 * the unload installs the closed map in its place. */
static void CloseIoMap(void) {
    if (g_io_map == NULL) return;
    Ke386SetIoAccessMap(TARNEL_IO_MAP_NUMBER, g_io_map);
    MmFreeNonCachedMemory(g_io_map, TARNEL_IO_MAP_BYTES);
    g_io_map = NULL;
}

/* A load that cannot finish installed nothing: the memory goes back. */
static void FreeIoMap(void) {
    if (g_io_map != NULL) {
        MmFreeNonCachedMemory(g_io_map, TARNEL_IO_MAP_BYTES);
        g_io_map = NULL;
    }
}
#else
/* No map on x64: nothing to keep, install or free. */
static NTSTATUS AllocateClosedIoMap(void) {
    return STATUS_SUCCESS;
}
static void CloseIoMap(void) {}
static void FreeIoMap(void) {}
#endif

static VOID NTAPI TarnelUnload(PDRIVER_OBJECT driver) {
    CloseIoMap();
    UNICODE_STRING link;
    RtlInitUnicodeString(&link, kLinkName);
    IoDeleteSymbolicLink(&link);
    if (driver->DeviceObject != NULL) IoDeleteDevice(driver->DeviceObject);
}

/* The port card's base the program configured under the service key (TARNEL_PORT_BASE_VALUE),
 * 0 when it wrote none. Read once, before the permission map is filled, so the map, the checks
 * and the dispatch all see the same blocks for the driver's whole life. */
static NTSTATUS NTAPI TakePortBase(PWSTR name, ULONG type, PVOID data, ULONG length, PVOID context,
                                   PVOID entry) {
    (void)name;
    (void)context;
    /* Anything but a number of the right size is no base at all. */
    if (type == REG_DWORD && length == sizeof(ULONG)) *(ULONG*)entry = *(const ULONG*)data;
    return STATUS_SUCCESS;
}

static ULONG ReadExtraPortBase(PUNICODE_STRING registry_path) {
    ULONG base = 0;
    RTL_QUERY_REGISTRY_TABLE query[2];
    if (registry_path == NULL || registry_path->Buffer == NULL) return 0;
    RtlZeroMemory(query, sizeof query);
    query[0].QueryRoutine = TakePortBase;
    query[0].Name = (PWSTR)TARNEL_PORT_BASE_VALUE_W;
    query[0].EntryContext = &base;
    /* A missing value calls no routine: base stays 0. */
    if (!NT_SUCCESS(RtlQueryRegistryValues(RTL_REGISTRY_ABSOLUTE, registry_path->Buffer, query,
                                           NULL, NULL))) {
        return 0;
    }
    return base;
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registry_path) {
    /* A refused base admits nothing beyond LPT1..LPT3. */
    (void)TarnelAdmitExtraBase(ReadExtraPortBase(registry_path));

    NTSTATUS status = AllocateClosedIoMap();
    if (!NT_SUCCESS(status)) return status;

    UNICODE_STRING device_name;
    RtlInitUnicodeString(&device_name, kDeviceName);
    PDEVICE_OBJECT device = NULL;
    /* Secure open: the device's security descriptor also guards opens of any name below
     * the device's, which would otherwise reach the dispatch unchecked. */
    status = IoCreateDevice(driver, 0, &device_name, TARNEL_DEVICE_TYPE, FILE_DEVICE_SECURE_OPEN,
                            FALSE, &device);
    if (!NT_SUCCESS(status)) {
        FreeIoMap();
        return status;
    }
    status = RestrictToAdministrators(device);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(device);
        FreeIoMap();
        return status;
    }

    UNICODE_STRING link;
    RtlInitUnicodeString(&link, kLinkName);
    status = IoCreateSymbolicLink(&link, &device_name);
    if (!NT_SUCCESS(status)) {
        /* The device name would otherwise stay taken until reboot, and the next load would
         * fail on it. */
        IoDeleteDevice(device);
        FreeIoMap();
        return status;
    }

    driver->DriverUnload = TarnelUnload;
    driver->MajorFunction[IRP_MJ_CREATE] = TarnelDispatch;
    driver->MajorFunction[IRP_MJ_CLOSE] = TarnelDispatch;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = TarnelDispatch;
    return STATUS_SUCCESS;
}
