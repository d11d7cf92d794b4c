# SPDX-License-Identifier: GPL-3.0-or-later
# Lets the devices' answers through Windows Firewall to fernwick.exe and fernwick-cli.exe, or takes
# that back. Run it in an administrator PowerShell, from the folder that holds the programs:
#
#     powershell -ExecutionPolicy Bypass -File fernwick-firewall.ps1           # add the rules
#     powershell -ExecutionPolicy Bypass -File fernwick-firewall.ps1 -Remove   # remove them
#
# Each program gets one inbound rule, for itself only: UDP to its local ports 4001 (the answers to a
# search and to Set IP) and 14321 (the firmware upload's TFTP transfer), on every network profile.
# The rules are named "Fernwick (PROGRAM)" and are the only ones this script adds or removes. Where
# PowerShell has no firewall cmdlets (Windows 7), netsh does the same.
param([switch]$Remove)

$ErrorActionPreference = 'Stop'
$folder = Split-Path -Parent $MyInvocation.MyCommand.Path
$programs = 'fernwick.exe', 'fernwick-cli.exe'
$ports = '4001,14321'
$cmdlets = [bool](Get-Command New-NetFirewallRule -ErrorAction SilentlyContinue)

function Invoke-Netsh([string[]]$arguments) {
    & netsh.exe advfirewall firewall @arguments | Out-Null
    return $LASTEXITCODE
}

foreach ($program in $programs) {
    $path = Join-Path $folder $program
    $name = "Fernwick ($program)"
    # The rule of an earlier run goes first, so that a second run leaves one rule, not two.
    if ($cmdlets) {
        Get-NetFirewallRule -DisplayName $name -ErrorAction SilentlyContinue | Remove-NetFirewallRule
    } else {
        Invoke-Netsh @('delete', 'rule', "name=$name") | Out-Null
    }
    if ($Remove) {
        Write-Output "Removed the rule `"$name`"."
        continue
    }
    if (-not (Test-Path -LiteralPath $path)) {
        Write-Output "No $program in $folder`: no rule for it."
        continue
    }
    if ($cmdlets) {
        New-NetFirewallRule -DisplayName $name -Direction Inbound -Action Allow -Protocol UDP `
            -LocalPort 4001, 14321 -Program $path -Profile Any | Out-Null
        # A prompt that was dismissed left block rules for the program; a block beats an allow.
        $blocks = Get-NetFirewallApplicationFilter -Program $path -ErrorAction SilentlyContinue |
            Get-NetFirewallRule | Where-Object { $_.Direction -eq 'Inbound' -and $_.Action -eq 'Block' }
        foreach ($block in $blocks) {
            Write-Warning ("`"$($block.DisplayName)`" blocks $program and wins over the rule added here. " +
                "Remove it: Remove-NetFirewallRule -Name '$($block.Name)'")
        }
    } else {
        $status = Invoke-Netsh @('add', 'rule', "name=$name", 'dir=in', 'action=allow', 'protocol=UDP',
            "localport=$ports", "program=$path", 'profile=any')
        if ($status -ne 0) {
            throw "netsh could not add the rule `"$name`" (status $status): run this as administrator."
        }
    }
    Write-Output "Added the rule `"$name`": inbound UDP $ports to $path."
}
